#include "rp2040/pll.h"

namespace sim::rp2040 {

namespace {
constexpr std::uint32_t kLockBit = 1u << 31;
constexpr std::uint32_t kBypassBit = 1u << 8;
constexpr std::uint32_t kPowerDown = 1u << 0;
constexpr std::uint32_t kPostDivPowerDown = 1u << 3;
constexpr std::uint32_t kVcoPowerDown = 1u << 5;
} // namespace

void Pll::reset() {
    cs_ = 0x1;
    pwr_ = 0x2d;
    fbdiv_ = 0;
    prim_ = 0x77000;
}

bool Pll::locked() const {
    return (pwr_ & (kPowerDown | kVcoPowerDown)) == 0 && fbdiv_ >= 16 && fbdiv_ <= 320 &&
           (cs_ & 0x3f) != 0;
}

std::uint64_t Pll::outputHz() const {
    const std::uint32_t refdiv = cs_ & 0x3f;
    if (cs_ & kBypassBit)
        return refdiv ? referenceHz_ / refdiv : 0;
    if (!locked() || (pwr_ & kPostDivPowerDown))
        return 0;
    const std::uint32_t post1 = (prim_ >> 16) & 7, post2 = (prim_ >> 12) & 7;
    if (post1 == 0 || post2 == 0)
        return 0;
    return referenceHz_ / refdiv * fbdiv_ / (post1 * post2);
}

std::uint32_t Pll::peek(std::uint32_t offset) const {
    switch (offset) {
    case kCs:
        return cs_ | (locked() ? kLockBit : 0);
    case kPwr:
        return pwr_;
    case kFbdivInt:
        return fbdiv_;
    case kPrim:
        return prim_;
    default:
        return 0;
    }
}

void Pll::write(std::uint32_t offset, std::uint32_t value) {
    switch (offset) {
    case kCs:
        cs_ = value & (kBypassBit | 0x3f);
        break;
    case kPwr:
        pwr_ = value & 0x2d;
        break;
    case kFbdivInt:
        fbdiv_ = value & 0xfff;
        break;
    case kPrim:
        prim_ = value & 0x77000;
        break;
    default:
        break;
    }
}

} // namespace sim::rp2040
