// How long the device holds SCL low before each byte the host reads: from
// the master's request for the byte to the moment the device lets SCL go,
// which the I2C block does when the firmware writes the byte into its
// transmit FIFO. Read from the host master's steps (world/i2c_phase.h): a
// byte is asked for one clock period after an acknowledged read address, or
// as the master's acknowledge bit after the previous byte ends; the master
// clocks it out (its Read step) as soon as SCL is free.
#pragma once

#include "summary.h"
#include "world/i2c_phase.h"

#include <optional>

class StretchMeter {
public:
    explicit StretchMeter(sim::Time sclPeriod) : period_(sclPeriod) {}

    void step(const sim::I2cPhase& phase);
    const Summary& stretch() const { return stretch_; }

private:
    sim::Time period_;
    std::optional<sim::Time> askedAt_;
    Summary stretch_;
};
