#include "world/i2c_waveform.h"

#include <algorithm>

namespace sim {

I2cWaveform::I2cWaveform(Time period, Edge edge)
    : period_(period), half_(period / 2), quarter_(period / 4), edge_(std::move(edge)) {}

void I2cWaveform::byteBits(Time begin, std::uint8_t byte) {
    for (unsigned i = 0; i < 8; ++i) {
        const Time bit = begin + i * period_;
        sda(bit + quarter_, (byte >> (7 - i)) & 1u);
        scl(bit + half_, true);
        scl(bit + period_, false);
    }
}

void I2cWaveform::ackBit(Time sdaAt, Time high, bool ack) {
    sda(sdaAt, !ack);
    scl(high, true);
    scl(high + half_, false);
}

void I2cWaveform::step(const I2cPhase& p) {
    const Time t = p.at;
    switch (p.kind) {
    case I2cPhase::Kind::Start:
        sda(t, false);
        scl(t + half_, false);
        break;
    case I2cPhase::Kind::RepeatedStart:
        // SDA is let go while SCL is still low from the last acknowledge bit.
        sda(t - period_ + quarter_, true);
        scl(t - half_, true);
        sda(t, false);
        scl(t + half_, false);
        break;
    case I2cPhase::Kind::Address:
        byteBits(t - 8 * period_, p.byte);
        ackBit(t + quarter_, t + half_, p.ack);
        break;
    case I2cPhase::Kind::Write:
        byteBits(t - 8 * period_, p.byte);
        byteIn_ = t;
        break;
    case I2cPhase::Kind::WriteAck:
        // A device that stretched answers as it lets SCL go; the bit's clock
        // period counts from there.
        ackBit(std::max(byteIn_ + quarter_, t), t + half_, p.ack);
        break;
    case I2cPhase::Kind::Read:
        byteBits(t, p.byte);
        break;
    case I2cPhase::Kind::ReadAck:
        ackBit(t - period_ + quarter_, t - half_, p.ack);
        break;
    case I2cPhase::Kind::Stop:
        sda(t - period_ + quarter_, false);
        scl(t - half_, true);
        sda(t, true);
        break;
    case I2cPhase::Kind::Recovery:
        // SCL stayed low since the break; the clocks begin eight periods back.
        byteBits(t - 8 * period_, p.byte);
        ackBit(t + quarter_, t + half_, p.ack);
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
