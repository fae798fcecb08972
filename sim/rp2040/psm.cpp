#include "rp2040/psm.h"

namespace sim::rp2040 {

void Psm::reset() {
    forceOn_ = forceOff_ = wdsel_ = 0;
}

std::uint32_t Psm::peek(std::uint32_t offset) const {
    switch (offset) {
    case kForceOn:
        return forceOn_;
    case kForceOff:
        return forceOff_;
    case kWdsel:
        return wdsel_;
    case kDone:
        // Everything not forced off has powered up.
        return kAll & ~forceOff_;
    default:
        return 0;
    }
}

void Psm::write(std::uint32_t offset, std::uint32_t value) {
    value &= kAll;
    switch (offset) {
    case kForceOn:
        forceOn_ = value;
        break;
    case kForceOff: {
        const std::uint32_t changed = forceOff_ ^ value;
        forceOff_ = value;
        if (listener_) {
            if (changed & kProc0)
                listener_(0, (value & kProc0) != 0);
            if (changed & kProc1)
                listener_(1, (value & kProc1) != 0);
        }
        break;
    }
    case kWdsel:
        wdsel_ = value;
        break;
    default:
        break;
    }
}

} // namespace sim::rp2040
