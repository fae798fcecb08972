// The eight PWM slices. Each slice counts from 0 to TOP (wrap) at the system
// clock (125 MHz) divided by an 8.4 fractional divider, and drives channel A
// on even GPIOs and B on odd ones high while the count is below the channel's
// compare level. The counter is not stepped: it is computed from the time
// since the slice was started. Writes to TOP and the compare levels take
// effect at once here; the chip double-buffers them until the next wrap, at
// most one period (160 us for TOP 2500 and divider 8) later.
#pragma once

#include "chip/gpio.h"
#include "kernel/time.h"

#include <array>
#include <cstdint>
#include <string>

namespace sim {

class Chip;

struct PwmSlice {
    bool enabled = false;
    bool phaseCorrect = false;
    bool invertA = false;
    bool invertB = false;
    unsigned divMode = 0;       // 0: free-running
    std::uint16_t divider = 16; // 8.4 fixed point: 16 is 1.0
    std::uint16_t top = 0xFFFF;
    std::uint16_t levelA = 0;
    std::uint16_t levelB = 0;
    // The counter value at `since`; it runs on from there while enabled.
    std::uint16_t count = 0;
    Time since = 0;
};

class Pwm : public PinDriver {
public:
    static constexpr unsigned kSlices = 8;
    static constexpr Time kSystemClockPeriod = 8; // ns

    explicit Pwm(Chip& chip);

    void reset();

    // --- the slices' registers (CSR, DIV, CTR, CC, TOP) -------------------------
    // CSR bits: 0 enable, 1 phase-correct, 2 A invert, 3 B invert, 4..5 divider mode.
    void writeControl(unsigned slice, std::uint32_t csr);
    std::uint32_t control(unsigned slice) const;
    void setEnabled(unsigned slice, bool enabled);
    void setEnabledMask(std::uint32_t mask);
    void setDivider(unsigned slice, std::uint8_t integer, std::uint8_t fraction);
    void setTop(unsigned slice, std::uint16_t top);
    void setLevel(unsigned slice, unsigned channel, std::uint16_t level);
    void setLevels(unsigned slice, std::uint16_t a, std::uint16_t b);
    void setCounter(unsigned slice, std::uint16_t count);
    std::uint16_t counter(unsigned slice) const;

    const PwmSlice& slice(unsigned n) const { return slices_.at(n); }
    // The output of a channel now (0 = A, 1 = B).
    bool output(unsigned slice, unsigned channel) const;
    // "slice 0 on, top 2500, div 8.0, A 20, B 0"
    std::string describe(unsigned slice) const;

    static unsigned sliceOf(unsigned pin) { return (pin >> 1) & 7u; }
    static unsigned channelOf(unsigned pin) { return pin & 1u; }

    Drive drive(unsigned pin) const override;
    bool toggling(unsigned pin) const override;

private:
    void rebase(PwmSlice& s);
    void changed(unsigned slice);

    Chip& chip_;
    std::array<PwmSlice, kSlices> slices_{};
    std::array<std::string, kSlices> described_;
};

} // namespace sim
