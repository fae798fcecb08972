#include "stretch_meter.h"

void StretchMeter::step(const sim::I2cPhase& phase) {
    using Kind = sim::I2cPhase::Kind;
    switch (phase.kind) {
    case Kind::Address:
        // Bit 0 of the address byte: a read.
        if (phase.ack && (phase.byte & 1u) != 0)
            askedAt_ = phase.at + period_;
        else
            askedAt_.reset();
        break;
    case Kind::ReadAck:
        askedAt_ = phase.at;
        break;
    case Kind::Read:
        // A master that stopped on its own before the byte (a bit-banging
        // one) did not wait for the board meanwhile.
        if (askedAt_ && phase.fall > *askedAt_)
            askedAt_ = phase.fall;
        if (askedAt_ && phase.at >= *askedAt_) {
            stretch_.add(phase.at - *askedAt_);
            if (samples_)
                samples_->push_back(phase.at - *askedAt_);
        }
        askedAt_.reset();
        break;
    default:
        // A STOP or repeated START: the last byte asked for was never sent.
        askedAt_.reset();
        break;
    }
}
