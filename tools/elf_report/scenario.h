// What the host and the world do to a board during the report's run: the
// host probes the board's address from power-on until it answers, then
// sends traffic of every kind at 100 kHz while inputs bounce and the analog
// and thermocouple inputs change.
#pragma once

#include "harness/bench.h"

#include <cstdint>
#include <functional>
#include <optional>

struct HostTraffic {
    unsigned long transfers = 0;
    unsigned long nacks = 0;
    unsigned long readBytes = 0;
};

// Probes `address` (an address byte and a STOP) back to back from now until
// it is acknowledged or `limit` has passed; the START of the acknowledged
// probe, or nothing.
std::optional<sim::Time> probeUntilAcknowledged(sim::Bench& bench, std::uint8_t address,
                                                sim::Time limit);

// `rounds` rounds of traffic for the board in `slot` answering at `address`;
// `afterTransfer` runs after every transfer (sampling).
HostTraffic driveValdor(sim::Bench& bench, unsigned slot, std::uint8_t address, int rounds,
                        const std::function<void()>& afterTransfer);
HostTraffic driveQuillet(sim::Bench& bench, unsigned slot, std::uint8_t address, int rounds,
                         const std::function<void()>& afterTransfer);
