// Continuous host traffic for the benchmarks: a host that writes and reads a
// valdor's registers back to back at 100 kHz, the bus never idle.
#pragma once

#include "harness/bench.h"

#include <cstdint>
#include <string>

struct BusLoadCounts {
    unsigned long transfers = 0;
    unsigned long bytes = 0;
    unsigned long nacks = 0;
};

// Drives the board at `address` until `end` (or a failure of the bench).
BusLoadCounts driveBusLoad(sim::Bench& bench, std::uint8_t address, sim::Time end);

// A valdor board (the image module at `path`) in slot 0 under that traffic
// for the given simulated time; prints the speed.
int runBusLoad(const std::string& path, std::uint64_t simulatedSeconds);
