// The clock stretch a host sees before each byte it reads: how much longer
// than the master's own low phase SCL stays low after the fall that begins
// the byte (one clock period after an acknowledged read address, or at the
// end of the master's acknowledge bit). The I2C block asks the firmware for
// the byte earlier, as it acknowledges; only an answer later than the
// master's low phase shows. Read from the host master's steps
// (world/i2c_phase.h): its Read step is dated from the fall, or a low
// phase before the release of a hold.
#pragma once

#include "summary.h"
#include "world/i2c_phase.h"

#include <optional>
#include <vector>

class StretchMeter {
public:
    // `samples`, when given, gets every stretch as well (a distribution).
    explicit StretchMeter(sim::Time sclPeriod, std::vector<sim::Time>* samples = nullptr)
        : period_(sclPeriod), samples_(samples) {}

    void step(const sim::I2cPhase& phase);
    const Summary& stretch() const { return stretch_; }

private:
    sim::Time period_;
    std::vector<sim::Time>* samples_;
    std::optional<sim::Time> askedAt_;
    Summary stretch_;
};
