#include "rp2040/rosc.h"

namespace sim::rp2040 {

namespace {
constexpr std::uint32_t kEnableMagic = 0xfab;
constexpr std::uint32_t kDisableMagic = 0xd1e;
constexpr std::uint32_t kStableBit = 1u << 31;
constexpr std::uint32_t kDivRunningBit = 1u << 16;
constexpr std::uint32_t kEnabledBit = 1u << 12;
} // namespace

void Rosc::reset() {
    ctrl_ = 0xaa0;
    freqA_ = freqB_ = div_ = count_ = 0;
    phase_ = 0x8;
    enabled_ = true;
    lfsr_ = 0xace1;
}

std::uint32_t Rosc::peek(std::uint32_t offset) const {
    switch (offset) {
    case kCtrl:
        return ctrl_;
    case kFreqA:
        return freqA_;
    case kFreqB:
        return freqB_;
    case kDiv:
        return div_;
    case kPhase:
        return phase_;
    case kStatus:
        return enabled_ ? (kStableBit | kDivRunningBit | kEnabledBit) : 0;
    case kRandomBit:
        return lfsr_ & 1u;
    case kCount: {
        const std::uint64_t elapsed = (sim_.now() - countAt_) * kNominalHz / 1000000000;
        return elapsed >= count_ ? 0 : std::uint32_t(count_ - elapsed);
    }
    default:
        return 0;
    }
}

std::uint32_t Rosc::read(std::uint32_t offset) {
    const std::uint32_t v = peek(offset);
    if (offset == kRandomBit) {
        // A 16-bit Galois LFSR steps once per read.
        lfsr_ = (lfsr_ >> 1) ^ ((lfsr_ & 1u) ? 0xb400u : 0u);
    }
    return v;
}

void Rosc::write(std::uint32_t offset, std::uint32_t value) {
    switch (offset) {
    case kCtrl: {
        ctrl_ = value & 0x00ffffff;
        const std::uint32_t enable = (value >> 12) & 0xfff;
        if (enable == kEnableMagic)
            enabled_ = true;
        else if (enable == kDisableMagic)
            enabled_ = false;
        break;
    }
    case kFreqA:
        freqA_ = value & 0x77;
        break;
    case kFreqB:
        freqB_ = value & 0x77;
        break;
    case kDiv:
        div_ = value & 0xfff;
        break;
    case kPhase:
        phase_ = value & 0xff;
        break;
    case kCount:
        count_ = value & 0xff;
        countAt_ = sim_.now();
        break;
    default:
        break;
    }
}

} // namespace sim::rp2040
