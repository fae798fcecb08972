#include "world/i2c_waveform.h"

#include <algorithm>

namespace sim {

I2cWaveform::I2cWaveform(const I2cTiming& timing, Edge edge) : t_(timing), edge_(std::move(edge)) {}

void I2cWaveform::byteBits(Time begin, std::uint8_t byte, Time sdaAfter, Time release,
                           Time firstSda) {
    const Time T = t_.period();
    for (unsigned i = 0; i < 8; ++i) {
        const Time bit = begin + i * T;
        const Time rise = bit + t_.low;
        const Time fall = bit + T;
        sda(i == 0 && firstSda ? firstSda : bit + sdaAfter, (byte >> (7 - i)) & 1u);
        // Under a device's hold the master's clocks do not show; the one the
        // hold ends in rises at the release.
        if (release && fall <= release)
            continue;
        scl(std::max(rise, release), true);
        scl(fall, false);
    }
}

void I2cWaveform::ackBit(Time sdaAt, Time high, bool ack, Time fall) {
    sda(sdaAt, !ack);
    scl(high, true);
    scl(fall ? fall : high + t_.high, false);
}

void I2cWaveform::step(const I2cPhase& p) {
    const Time t = p.at;
    const Time T = t_.period();
    switch (p.kind) {
    case I2cPhase::Kind::Start:
        sda(t, false);
        scl(t + t_.hdSta, false);
        break;
    case I2cPhase::Kind::RepeatedStart:
        // SDA is let go while SCL is still low from the last acknowledge bit.
        sda(t - t_.suSta - t_.low + t_.hdDat, true);
        scl(t - t_.suSta, true);
        sda(t, false);
        scl(t + t_.hdSta, false);
        break;
    case I2cPhase::Kind::Address:
        byteBits(t - 8 * T, p.byte, t_.hdDat);
        ackBit(t + p.slaveHold, t + t_.low, p.ack);
        break;
    case I2cPhase::Kind::Write:
        byteBits(t - 8 * T, p.byte, t_.hdDat);
        byteIn_ = t;
        break;
    case I2cPhase::Kind::WriteAck:
        // A device that held the bit answers as it lets SCL go.
        if (p.release)
            ackBit(p.sdaAt, p.release, p.ack, p.fall);
        else
            ackBit(byteIn_ + p.slaveHold, byteIn_ + t_.low, p.ack);
        break;
    case I2cPhase::Kind::Read:
        byteBits(t, p.byte, p.slaveHold, p.release, p.sdaAt);
        break;
    case I2cPhase::Kind::ReadAck:
        ackBit(t - T + t_.hdDat, t - t_.high, p.ack);
        break;
    case I2cPhase::Kind::Stop:
        sda(t - t_.suSto - t_.low + t_.hdDat, false);
        scl(t - t_.suSto, true);
        sda(t, true);
        break;
    case I2cPhase::Kind::Recovery:
        // SCL stayed low since the break; the clocks begin eight periods back.
        byteBits(t - 8 * T, p.byte, t_.hdDat);
        ackBit(t + t_.hdDat, t + t_.low, p.ack);
        break;
    case I2cPhase::Kind::GaveUp:
        // The master lets both lines go; a device's hold on SCL past the
        // master's patience is not drawn.
        scl(t, true);
        sda(t, true);
        break;
    }
}

} // namespace sim
