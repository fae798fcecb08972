// MRS and MSR: the special registers by their SYSm number, with the
// privilege rules of ARMv6-M (an unprivileged read of a stack pointer gives
// zero, unprivileged writes other than the flags are ignored, CONTROL.SPSEL
// only changes in Thread mode).
#include "arm/core.h"

namespace sim::arm {

namespace {

constexpr unsigned kMsp = 8;
constexpr unsigned kPsp = 9;
constexpr unsigned kPrimask = 16;
constexpr unsigned kControl = 20;

} // namespace

std::uint32_t Core::readSpecial(unsigned sysm) const {
    if (sysm < 8) {
        // The xPSR views: bit 0 adds IPSR, bit 2 leaves out APSR; EPSR
        // (bit 1) reads as zero.
        std::uint32_t value = 0;
        if (sysm & 1u) {
            value |= ipsr_;
        }
        if ((sysm & 4u) == 0) {
            value |= apsr();
        }
        return value;
    }
    switch (sysm) {
    case kMsp:
        return privileged() ? msp() : 0;
    case kPsp:
        return privileged() ? psp() : 0;
    case kPrimask:
        return primask_ ? 1u : 0u;
    case kControl:
        return control_;
    default:
        return 0;
    }
}

void Core::writeSpecial(unsigned sysm, std::uint32_t value) {
    if (sysm < 8) {
        // APSR, IAPSR, EAPSR, XPSR take the flags; IPSR and EPSR are read-only.
        if ((sysm & 4u) == 0) {
            n_ = (value >> 31) & 1u;
            z_ = (value >> 30) & 1u;
            c_ = (value >> 29) & 1u;
            v_ = (value >> 28) & 1u;
        }
        return;
    }
    if (!privileged()) {
        return;
    }
    switch (sysm) {
    case kMsp:
        setMsp(value);
        break;
    case kPsp:
        setPsp(value);
        break;
    case kPrimask:
        primask_ = (value & 1u) != 0;
        attention_ = true;
        break;
    case kControl:
        if (ipsr_ == 0) {
            selectStack((value & 2u) != 0);
        }
        control_ = (control_ & ~1u) | (value & 1u);
        break;
    default:
        break;
    }
}

} // namespace sim::arm
