// When a chip last came out of reset, and every reset before with its cause.
#pragma once

#include "engine/time.h"

#include <string>
#include <vector>

namespace sim {

struct ResetRecord {
    Time at;
    std::string cause;
};

class ResetHistory {
public:
    void booted(Time at) { bootedAt_ = at; }
    void reset(Time at, std::string cause) { log_.push_back({at, std::move(cause)}); }

    Time bootedAt() const { return bootedAt_; }
    unsigned count() const { return unsigned(log_.size()); }
    const std::vector<ResetRecord>& log() const { return log_; }

private:
    Time bootedAt_ = 0;
    std::vector<ResetRecord> log_;
};

} // namespace sim
