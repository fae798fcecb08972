#include "rp2040/resets.h"

namespace sim::rp2040 {

void Resets::reset() {
    // The chip resets every block itself: no listener call.
    wdsel_ = 0;
    held_ = resetbit::kAll;
}

std::uint32_t Resets::peek(std::uint32_t offset) const {
    switch (offset) {
    case kReset:
        return held_;
    case kWdsel:
        return wdsel_;
    case kResetDone:
        return ~held_ & resetbit::kAll;
    default:
        return 0;
    }
}

void Resets::write(std::uint32_t offset, std::uint32_t value) {
    if (offset == kReset)
        setHeld(value & resetbit::kAll);
    else if (offset == kWdsel)
        wdsel_ = value & resetbit::kAll;
}

void Resets::setHeld(std::uint32_t held) {
    const std::uint32_t entered = held & ~held_;
    const std::uint32_t left = held_ & ~held;
    held_ = held;
    if ((entered | left) && listener_)
        listener_(entered, left);
}

} // namespace sim::rp2040
