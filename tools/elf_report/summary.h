// Count, maximum and mean of a series of durations.
#pragma once

#include "engine/time.h"

#include <algorithm>
#include <cstdint>

struct Summary {
    std::uint64_t count = 0;
    sim::Time max = 0;
    sim::Time total = 0;

    void add(sim::Time t) {
        ++count;
        max = std::max(max, t);
        total += t;
    }
    double meanNs() const { return count ? static_cast<double>(total) / count : 0.0; }
};
