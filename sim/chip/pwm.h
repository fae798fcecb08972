// The eight PWM slices. Each slice counts from 0 to TOP (wrap) at the system
// clock (125 MHz) divided by an 8.4 fractional divider, and drives channel A
// on even GPIOs and B on odd ones high while the count is below the channel's
// compare level. In phase-correct mode it counts up to TOP and back down,
// staying one step at each end, so a period is 2 (TOP + 1) steps and the
// duty is still level / (TOP + 1). The counter is not stepped: it is computed
// from the time since the slice was started.
//
// TOP and the compare levels are double-buffered: while the slice runs a
// write waits for the next wrap (the count coming back to 0), where it takes
// effect; a stopped slice takes it at once. The registers read back what was
// written; the outputs and what observers hear follow the values in effect.
//
// Registers: per slice (0x14 apart) CSR, DIV, CTR, CC and TOP; EN mirrors
// the slices' CSR.EN; INTR holds the wrap flags (write 1 to clear), raised on
// PWM_IRQ_WRAP with INTE and INTF. The flag is set by an event at the wrap's
// time; once set, no further wrap events are kept until it is cleared or a
// buffered write waits. CSR.PH_ADV and PH_RET move a free-running count one
// step; the gated and edge-counting divider modes stop the count (and so
// take buffered writes at once).
#pragma once

#include "chip/gpio.h"
#include "chip/register_block.h"
#include "chip/register_map.h"
#include "engine/event_queue.h"
#include "engine/time.h"

#include <array>
#include <cstdint>
#include <string>

namespace sim {

class BlockHost;

struct PwmSlice {
    bool enabled = false;
    bool phaseCorrect = false;
    bool invertA = false;
    bool invertB = false;
    unsigned divMode = 0;       // 0: free-running
    std::uint16_t divider = 16; // 8.4 fixed point: 16 is 1.0
    // In effect: what the counter and the outputs use.
    std::uint16_t top = 0xFFFF;
    std::uint16_t levelA = 0;
    std::uint16_t levelB = 0;
    // As written to TOP and CC, waiting for the next wrap while it differs.
    std::uint16_t topWritten = 0xFFFF;
    std::uint16_t levelAWritten = 0;
    std::uint16_t levelBWritten = 0;
    // Where the count is in its period at `since` (0..TOP up, then down in
    // phase-correct mode); it runs on from there while counting.
    std::uint32_t position = 0;
    Time since = 0;

    bool counting() const { return enabled && divMode == 0; }
    bool waiting() const {
        return topWritten != top || levelAWritten != levelA || levelBWritten != levelB;
    }
    std::uint64_t period() const { return (std::uint64_t{top} + 1) * (phaseCorrect ? 2u : 1u); }
};

class Pwm : public PinDriver, public RegisterBlock {
public:
    static constexpr unsigned kSlices = 8;
    static constexpr Time kSystemClockPeriod = 8; // ns
    static constexpr unsigned kPwmIrqWrap = 4;

    // Register offsets: slice registers, slices kSliceStride apart, then the
    // shared ones.
    static constexpr std::uint32_t kSliceStride = 0x14;
    static constexpr std::uint32_t kCsr = 0x00;
    static constexpr std::uint32_t kDiv = 0x04;
    static constexpr std::uint32_t kCtr = 0x08;
    static constexpr std::uint32_t kCc = 0x0c;
    static constexpr std::uint32_t kTop = 0x10;
    static constexpr std::uint32_t kEn = 0xa0;
    static constexpr std::uint32_t kIntr = 0xa4;
    static constexpr std::uint32_t kInte = 0xa8;
    static constexpr std::uint32_t kIntf = 0xac;
    static constexpr std::uint32_t kInts = 0xb0;
    static constexpr std::uint32_t kCsrPhRet = 1u << 6;
    static constexpr std::uint32_t kCsrPhAdv = 1u << 7;

    // Every register with its reset value and writable bits.
    static const RegisterMap& registers();

    Pwm(BlockHost& host, Gpio& gpio);
    ~Pwm() override;

    void reset();

    const PwmSlice& slice(unsigned n) const { return slices_.at(n); }
    // The output of a channel now (0 = A, 1 = B).
    bool output(unsigned slice, unsigned channel) const;
    // "slice 0 on, top 2500, div 8.0, A 20, B 0"
    std::string describe(unsigned slice) const;

    static unsigned sliceOf(unsigned pin) { return (pin >> 1) & 7u; }
    static unsigned channelOf(unsigned pin) { return pin & 1u; }

    Drive drive(unsigned pin) const override;
    bool toggling(unsigned pin) const override;

    // Wrap flags (INTR), write 1 to clear.
    std::uint32_t wrapFlags() const { return raw_; }
    // When the slice next wraps, or kNever when it does not count.
    Time nextWrap(unsigned slice) const;

    // RegisterBlock
    std::uint32_t read(std::uint32_t offset) override { return peek(offset); }
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;
    // INTR: the slices' wrap flags.
    std::uint32_t writeClearBits(std::uint32_t offset) const override {
        return registers().clearBits(offset);
    }

private:
    // What the slice registers (CSR, DIV, CTR, CC, TOP) and EN do. CSR bits:
    // 0 enable, 1 phase-correct, 2 A invert, 3 B invert, 4..5 divider mode.
    void writeControl(unsigned slice, std::uint32_t csr);
    std::uint32_t control(unsigned slice) const;
    void setEnabled(unsigned slice, bool enabled);
    void setEnabledMask(std::uint32_t mask);
    void setDivider(unsigned slice, std::uint8_t integer, std::uint8_t fraction);
    void setTop(unsigned slice, std::uint16_t top);
    void setLevels(unsigned slice, std::uint16_t a, std::uint16_t b);
    void setCounter(unsigned slice, std::uint16_t count);
    std::uint16_t counter(unsigned slice) const;
    void clearWrapFlags(std::uint32_t mask);

    std::uint64_t position(unsigned slice) const;
    void rebase(PwmSlice& s);
    // Buffered TOP and CC take effect now if the slice is stopped.
    void written(unsigned slice);
    void latch(unsigned slice);
    void changed(unsigned slice);
    void scheduleWrap(unsigned slice);
    void wrapped(unsigned slice);
    void updateIrq();
    void writeSlice(unsigned slice, std::uint32_t reg, std::uint32_t value);
    void stepPhase(unsigned slice, bool advance);

    BlockHost& host_;
    Gpio& gpio_;
    std::array<PwmSlice, kSlices> slices_{};
    std::array<std::string, kSlices> described_;
    std::uint32_t raw_ = 0;
    std::uint32_t inte_ = 0;
    std::uint32_t intf_ = 0;
    std::array<CallbackEvent, kSlices> wrapEvents_;
};

} // namespace sim
