#include "rp2040/xosc.h"

namespace sim::rp2040 {

namespace {
constexpr std::uint32_t kEnableMagic = 0xfab;
constexpr std::uint32_t kDisableMagic = 0xd1e;
constexpr std::uint32_t kRange1To15MHz = 0xaa0;
constexpr unsigned kEnableShift = 12;
constexpr std::uint32_t kStableBit = 1u << 31;
constexpr std::uint32_t kBadWriteBit = 1u << 24;
constexpr std::uint32_t kEnabledBit = 1u << 12;
constexpr std::uint32_t kX4Bit = 1u << 20;
} // namespace

void Xosc::reset() {
    ctrl_ = 0;
    startup_ = 0xc4;
    enabled_ = badWrite_ = false;
    count_ = 0;
}

bool Xosc::stable() const {
    if (!enabled_)
        return false;
    std::uint64_t cycles = std::uint64_t(startup_ & 0x3fff) * 256;
    if (startup_ & kX4Bit)
        cycles *= 4;
    return sim_.now() >= enabledAt_ + cycles * 1000000000 / kHz;
}

std::uint32_t Xosc::peek(std::uint32_t offset) const {
    switch (offset) {
    case kCtrl:
        return ctrl_;
    case kStatus:
        return (stable() ? kStableBit : 0) | (badWrite_ ? kBadWriteBit : 0) |
               (enabled_ ? kEnabledBit : 0) | 0; // FREQ_RANGE reads 0: 1-15 MHz
    case kStartup:
        return startup_;
    case kCount: {
        const std::uint64_t elapsed = (sim_.now() - countAt_) * kHz / 1000000000;
        return elapsed >= count_ ? 0 : std::uint32_t(count_ - elapsed);
    }
    default:
        return 0;
    }
}

void Xosc::write(std::uint32_t offset, std::uint32_t value) {
    switch (offset) {
    case kCtrl: {
        ctrl_ = value & 0x00ffffff;
        const std::uint32_t enable = (value >> kEnableShift) & 0xfff;
        const std::uint32_t range = value & 0xfff;
        if (range != kRange1To15MHz && range != 0)
            badWrite_ = true;
        if (enable == kEnableMagic && !enabled_) {
            enabled_ = true;
            enabledAt_ = sim_.now();
        } else if (enable == kDisableMagic) {
            enabled_ = false;
        } else if (enable != kEnableMagic && enable != 0) {
            badWrite_ = true;
        }
        break;
    }
    case kStatus:
        if (value & kBadWriteBit)
            badWrite_ = false;
        break;
    case kStartup:
        startup_ = value & (kX4Bit | 0x3fff);
        break;
    case kCount:
        count_ = value & 0xff;
        countAt_ = sim_.now();
        break;
    default:
        break; // DORMANT would stop the crystal until a wake-up: not modelled
    }
}

} // namespace sim::rp2040
