// Takes the steps of the scenario vocabulary on a bench: the host's
// transfers, time, and the world around the board the steps act on.
#pragma once

#include "harness/bench.h"
#include "harness/scenario_step.h"

#include <functional>
#include <optional>

namespace sim::scenario {

// A step that acts on one board (drive, bounce, adc, thermo, watchdog,
// power). Throws UsageError when the board lacks what the step needs, or
// for a step that is not a board's (run, i2c, select).
void apply(Board& board, const Step& step);

class Runner {
public:
    explicit Runner(Bench& bench, unsigned slot = 0) : bench_(bench), slot_(slot) {}

    // `run` steps call this with their duration instead of running the
    // world (a server runs it in slices between its clients).
    void deferRuns(std::function<void(Time)> runner) { runner_ = std::move(runner); }

    // Takes one step on the current board; a transfer gives its record.
    // Throws UsageError for a step that cannot be taken: an empty slot, a
    // board without the device, time or the bus once the simulation stopped.
    std::optional<I2cTransferRecord> apply(const Step& step);

    unsigned slot() const { return slot_; }
    Board& current();

private:
    void checkRunning() const;

    Bench& bench_;
    unsigned slot_;
    std::function<void(Time)> runner_;
};

} // namespace sim::scenario
