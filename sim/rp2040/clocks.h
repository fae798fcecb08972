// The clock generators. Each clock has CTRL (source selection, enable), DIV
// (integer and fractional divider) and SELECTED. The reference and system
// clocks have glitchless muxes: SELECTED shows, one-hot, the source CTRL.SRC
// names, which the SDK waits for after switching; the other clocks read 1
// there. The frequency counter FC0 measures a clock at once from the
// configuration. The cores run at a fixed 125 MHz whatever is configured
// here (the SDK's own choice for these images).
#pragma once

#include "chip/register_block.h"

#include <array>
#include <cstdint>

namespace sim::rp2040 {

class Xosc;
class Pll;
class Rosc;

class Clocks : public RegisterBlock {
public:
    enum Clock : unsigned {
        kGpout0,
        kGpout1,
        kGpout2,
        kGpout3,
        kRef,
        kSys,
        kPeri,
        kUsb,
        kAdc,
        kRtc
    };
    static constexpr unsigned kClockCount = 10;
    static constexpr std::uint32_t kStride = 0x0c;
    static constexpr std::uint32_t kResusCtrl = 0x78;
    static constexpr std::uint32_t kResusStatus = 0x7c;
    static constexpr std::uint32_t kFc0RefKhz = 0x80;
    static constexpr std::uint32_t kFc0MinKhz = 0x84;
    static constexpr std::uint32_t kFc0MaxKhz = 0x88;
    static constexpr std::uint32_t kFc0Delay = 0x8c;
    static constexpr std::uint32_t kFc0Interval = 0x90;
    static constexpr std::uint32_t kFc0Src = 0x94;
    static constexpr std::uint32_t kFc0Status = 0x98;
    static constexpr std::uint32_t kFc0Result = 0x9c;
    static constexpr std::uint32_t kWakeEn0 = 0xa0;
    static constexpr std::uint32_t kWakeEn1 = 0xa4;
    static constexpr std::uint32_t kSleepEn0 = 0xa8;
    static constexpr std::uint32_t kSleepEn1 = 0xac;
    static constexpr std::uint32_t kEnabled0 = 0xb0;
    static constexpr std::uint32_t kEnabled1 = 0xb4;
    static constexpr std::uint32_t kIntr = 0xb8;
    static constexpr std::uint32_t kInte = 0xbc;
    static constexpr std::uint32_t kIntf = 0xc0;
    static constexpr std::uint32_t kInts = 0xc4;

    Clocks(const Xosc& xosc, const Pll& pllSys, const Pll& pllUsb, const Rosc& rosc)
        : xosc_(xosc), pllSys_(pllSys), pllUsb_(pllUsb), rosc_(rosc) {
        reset();
    }

    void reset();
    // What a clock runs at with the present configuration (0 when stopped).
    std::uint64_t frequencyHz(Clock clock) const;

    std::uint32_t read(std::uint32_t offset) override { return peek(offset); }
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    struct Generator {
        std::uint32_t ctrl = 0;
        std::uint32_t div = 0x100;
    };
    std::uint64_t auxSourceHz(Clock clock) const;
    std::uint64_t divided(Clock clock, std::uint64_t hz) const;
    std::uint64_t fc0SourceHz(std::uint32_t src) const;
    void measure(std::uint32_t src);

    const Xosc& xosc_;
    const Pll& pllSys_;
    const Pll& pllUsb_;
    const Rosc& rosc_;
    std::array<Generator, kClockCount> gen_{};
    std::uint32_t resusCtrl_ = 0xff;
    std::uint32_t fc0RefKhz_ = 0, fc0MinKhz_ = 0, fc0MaxKhz_ = 0x1ffffff, fc0Delay_ = 1,
                  fc0Interval_ = 8, fc0Src_ = 0, fc0Status_ = 0, fc0Result_ = 0;
    std::uint32_t wakeEn0_ = 0xffffffff, wakeEn1_ = 0x7fff, sleepEn0_ = 0xffffffff,
                  sleepEn1_ = 0x7fff;
    std::uint32_t intr_ = 0, inte_ = 0, intf_ = 0;
};

} // namespace sim::rp2040
