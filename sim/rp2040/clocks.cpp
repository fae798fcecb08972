#include "rp2040/clocks.h"

#include "rp2040/pll.h"
#include "rp2040/rosc.h"
#include "rp2040/xosc.h"

namespace sim::rp2040 {

namespace {
constexpr std::uint32_t kEnableBit = 1u << 11;
constexpr std::uint64_t kGpinHz = 0; // nothing drives the clock inputs on the boards

// FC0_STATUS bits.
constexpr std::uint32_t kFcPass = 1u << 0;
constexpr std::uint32_t kFcDone = 1u << 4;
constexpr std::uint32_t kFcFail = 1u << 16;
constexpr std::uint32_t kFcSlow = 1u << 20;
constexpr std::uint32_t kFcFast = 1u << 24;
constexpr std::uint32_t kFcDied = 1u << 28;

bool hasGlitchlessMux(unsigned clock) {
    return clock == Clocks::kRef || clock == Clocks::kSys;
}
} // namespace

void Clocks::reset() {
    for (Generator& g : gen_)
        g = Generator{};
    resusCtrl_ = 0xff;
    fc0RefKhz_ = fc0MinKhz_ = fc0Src_ = fc0Status_ = fc0Result_ = 0;
    fc0MaxKhz_ = 0x1ffffff;
    fc0Delay_ = 1;
    fc0Interval_ = 8;
    wakeEn0_ = sleepEn0_ = 0xffffffff;
    wakeEn1_ = sleepEn1_ = 0x7fff;
    intr_ = inte_ = intf_ = 0;
}

std::uint64_t Clocks::auxSourceHz(Clock clock) const {
    const unsigned aux = (gen_[clock].ctrl >> 5) & 7;
    const std::uint64_t rosc = rosc_.enabled() ? Rosc::kNominalHz : 0;
    const std::uint64_t xosc = xosc_.stable() ? Xosc::kHz : 0;
    switch (clock) {
    case kRef: {
        const std::uint64_t table[] = {pllUsb_.outputHz(), kGpinHz, kGpinHz};
        return aux < 3 ? table[aux] : 0;
    }
    case kSys: {
        const std::uint64_t table[] = {
            pllSys_.outputHz(), pllUsb_.outputHz(), rosc, xosc, kGpinHz, kGpinHz};
        return aux < 6 ? table[aux] : 0;
    }
    case kPeri: {
        const std::uint64_t table[] = {frequencyHz(kSys),
                                       pllSys_.outputHz(),
                                       pllUsb_.outputHz(),
                                       rosc,
                                       xosc,
                                       kGpinHz,
                                       kGpinHz};
        return aux < 7 ? table[aux] : 0;
    }
    case kUsb:
    case kAdc:
    case kRtc: {
        const std::uint64_t table[] = {
            pllUsb_.outputHz(), pllSys_.outputHz(), rosc, xosc, kGpinHz, kGpinHz};
        return aux < 6 ? table[aux] : 0;
    }
    default: {
        // The GPIO outputs can show almost any clock; the boards use none.
        const std::uint64_t table[] = {pllSys_.outputHz(),
                                       kGpinHz,
                                       kGpinHz,
                                       pllUsb_.outputHz(),
                                       rosc,
                                       xosc,
                                       frequencyHz(kSys),
                                       frequencyHz(kUsb),
                                       frequencyHz(kAdc),
                                       frequencyHz(kRtc),
                                       frequencyHz(kRef)};
        const unsigned src = (gen_[clock].ctrl >> 5) & 0xf;
        return src < 11 ? table[src] : 0;
    }
    }
}

std::uint64_t Clocks::divided(Clock clock, std::uint64_t hz) const {
    if (clock == kPeri)
        return hz;
    std::uint32_t div = gen_[clock].div;
    if (clock == kRef || clock == kUsb || clock == kAdc)
        div &= 0x300; // integer divider only, 1..3
    if ((div >> 8) == 0)
        div += 1u << 24; // an integer part of 0 divides by the largest value
    return hz * 256 / div;
}

std::uint64_t Clocks::frequencyHz(Clock clock) const {
    const Generator& g = gen_[clock];
    std::uint64_t hz = 0;
    if (clock == kRef) {
        const unsigned src = g.ctrl & 3;
        hz = src == 0   ? (rosc_.enabled() ? Rosc::kNominalHz : 0)
             : src == 1 ? auxSourceHz(kRef)
                        : (xosc_.stable() ? Xosc::kHz : 0);
    } else if (clock == kSys) {
        hz = (g.ctrl & 1) ? auxSourceHz(kSys) : frequencyHz(kRef);
    } else {
        if (!(g.ctrl & kEnableBit))
            return 0;
        hz = auxSourceHz(clock);
    }
    return divided(clock, hz);
}

std::uint64_t Clocks::fc0SourceHz(std::uint32_t src) const {
    const std::uint64_t rosc = rosc_.enabled() ? Rosc::kNominalHz : 0;
    switch (src) {
    case 1:
        return pllSys_.outputHz();
    case 2:
        return pllUsb_.outputHz();
    case 3:
    case 4:
        return rosc;
    case 5:
        return xosc_.stable() ? Xosc::kHz : 0;
    case 8:
        return frequencyHz(kRef);
    case 9:
        return frequencyHz(kSys);
    case 10:
        return frequencyHz(kPeri);
    case 11:
        return frequencyHz(kUsb);
    case 12:
        return frequencyHz(kAdc);
    case 13:
        return frequencyHz(kRtc);
    default:
        return 0;
    }
}

void Clocks::measure(std::uint32_t src) {
    fc0Src_ = src & 0xff;
    if (fc0Src_ == 0) {
        fc0Status_ = 0;
        return;
    }
    // The count finishes before the firmware can look: the result is ready.
    const std::uint64_t hz = fc0SourceHz(fc0Src_);
    const std::uint64_t khz = hz / 1000;
    const std::uint64_t frac = (hz % 1000) * 32 / 1000;
    fc0Result_ = std::uint32_t((khz & 0x1ffffff) << 5 | frac);
    fc0Status_ = kFcDone;
    if (hz == 0)
        fc0Status_ |= kFcDied | kFcFail;
    else if (khz < fc0MinKhz_)
        fc0Status_ |= kFcSlow | kFcFail;
    else if (khz > fc0MaxKhz_)
        fc0Status_ |= kFcFast | kFcFail;
    else
        fc0Status_ |= kFcPass;
}

std::uint32_t Clocks::peek(std::uint32_t offset) const {
    if (offset < kClockCount * kStride) {
        const unsigned clock = offset / kStride;
        const Generator& g = gen_[clock];
        switch (offset % kStride) {
        case 0:
            return g.ctrl;
        case 4:
            return clock == kPeri ? 0 : g.div;
        default:
            return hasGlitchlessMux(clock) ? 1u << (g.ctrl & (clock == kRef ? 3 : 1)) : 1u;
        }
    }
    switch (offset) {
    case kResusCtrl:
        return resusCtrl_;
    case kResusStatus:
        return 0;
    case kFc0RefKhz:
        return fc0RefKhz_;
    case kFc0MinKhz:
        return fc0MinKhz_;
    case kFc0MaxKhz:
        return fc0MaxKhz_;
    case kFc0Delay:
        return fc0Delay_;
    case kFc0Interval:
        return fc0Interval_;
    case kFc0Src:
        return fc0Src_;
    case kFc0Status:
        return fc0Status_;
    case kFc0Result:
        return fc0Result_;
    case kWakeEn0:
        return wakeEn0_;
    case kWakeEn1:
        return wakeEn1_;
    case kSleepEn0:
        return sleepEn0_;
    case kSleepEn1:
        return sleepEn1_;
    case kEnabled0:
        return wakeEn0_; // the cores never sleep the clock tree: the wake set is on
    case kEnabled1:
        return wakeEn1_;
    case kIntr:
        return intr_;
    case kInte:
        return inte_;
    case kIntf:
        return intf_;
    case kInts:
        return (intr_ & inte_) | intf_;
    default:
        return 0;
    }
}

void Clocks::write(std::uint32_t offset, std::uint32_t value) {
    if (offset < kClockCount * kStride) {
        Generator& g = gen_[offset / kStride];
        switch (offset % kStride) {
        case 0:
            g.ctrl = value;
            break;
        case 4:
            g.div = value;
            break;
        default:
            break; // SELECTED is read-only
        }
        return;
    }
    switch (offset) {
    case kResusCtrl:
        resusCtrl_ = value & 0x113ff;
        break;
    case kFc0RefKhz:
        fc0RefKhz_ = value & 0xfffff;
        break;
    case kFc0MinKhz:
        fc0MinKhz_ = value & 0x1ffffff;
        break;
    case kFc0MaxKhz:
        fc0MaxKhz_ = value & 0x1ffffff;
        break;
    case kFc0Delay:
        fc0Delay_ = value & 7;
        break;
    case kFc0Interval:
        fc0Interval_ = value & 0xf;
        break;
    case kFc0Src:
        measure(value);
        break;
    case kWakeEn0:
        wakeEn0_ = value;
        break;
    case kWakeEn1:
        wakeEn1_ = value & 0x7fff;
        break;
    case kSleepEn0:
        sleepEn0_ = value;
        break;
    case kSleepEn1:
        sleepEn1_ = value & 0x7fff;
        break;
    case kInte:
        inte_ = value & 1;
        break;
    case kIntf:
        intf_ = value & 1;
        break;
    default:
        break;
    }
}

} // namespace sim::rp2040
