// SDA and SCL as a logic analyser on the backplane shows them, drawn from the
// host master's steps with its timing (world/i2c_timing.h): START and STOP
// with SCL high, every bit with SDA changed halfway into SCL's low phase by
// the master (a device changes it its own hold time after SCL falls), the
// acknowledge bits, and SCL held low as long as a device stretches the
// clock. An edge is told at most eight clock periods after it happened.
#pragma once

#include "world/i2c_phase.h"
#include "world/i2c_timing.h"

#include <cstdint>
#include <functional>

namespace sim {

enum class I2cLine { Scl, Sda };

class I2cWaveform {
public:
    using Edge = std::function<void(Time at, I2cLine line, bool level)>;

    I2cWaveform(const I2cTiming& timing, Edge edge);

    void step(const I2cPhase& phase);

    // How long after an edge the step that tells of it may come.
    static Time lateness(Time period) { return 8 * period; }

private:
    void sda(Time at, bool level) { edge_(at, I2cLine::Sda, level); }
    void scl(Time at, bool level) { edge_(at, I2cLine::Scl, level); }
    // Eight bits from `begin` on (SCL's fall before the first), most
    // significant first; SCL falls at the end. `sdaAfter`: when SDA changes
    // after each fall; `release`: SCL held low until then (0: not held).
    void byteBits(Time begin, std::uint8_t byte, Time sdaAfter, Time release = 0,
                  Time firstSda = 0);
    // An acknowledge bit whose clock pulse rises at `high`.
    void ackBit(Time sdaAt, Time high, bool ack, Time fall = 0);

    I2cTiming t_;
    Edge edge_;
    Time byteIn_ = 0; // the eighth bit of the last byte written
};

} // namespace sim
