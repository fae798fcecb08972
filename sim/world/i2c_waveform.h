// SDA and SCL as a logic analyser on the backplane shows them, drawn from the
// host master's steps: START and STOP with SCL high, every bit with SDA
// settled a quarter period into SCL's low half and SCL high for the second
// half, the acknowledge bits, and SCL held low as long as a device stretches
// the clock. An edge is told at most eight clock periods after it happened.
#pragma once

#include "world/i2c_phase.h"

#include <cstdint>
#include <functional>

namespace sim {

enum class I2cLine { Scl, Sda };

class I2cWaveform {
public:
    using Edge = std::function<void(Time at, I2cLine line, bool level)>;

    // `period` is the master's SCL period.
    I2cWaveform(Time period, Edge edge);

    void step(const I2cPhase& phase);

    // How long after an edge the step that tells of it may come.
    static Time lateness(Time period) { return 8 * period; }

private:
    void sda(Time at, bool level) { edge_(at, I2cLine::Sda, level); }
    void scl(Time at, bool level) { edge_(at, I2cLine::Scl, level); }
    // Eight bits from `begin` on, most significant first; SCL falls at the end.
    void byteBits(Time begin, std::uint8_t byte);
    // An acknowledge bit whose clock pulse rises at `high`.
    void ackBit(Time sdaAt, Time high, bool ack);

    Time period_;
    Time half_;
    Time quarter_;
    Edge edge_;
    Time byteIn_ = 0; // the eighth bit of the last byte written
};

} // namespace sim
