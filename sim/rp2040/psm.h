// The power-on state machine (PSM): which parts of the chip are powered and
// out of reset. The firmware uses FRCE_OFF to hold a processor in reset; the
// SDK resets core 1 that way before it launches it, and core 1 then comes up
// in the bootrom again, waiting to be launched.
#pragma once

#include "chip/register_block.h"

#include <cstdint>
#include <functional>

namespace sim::rp2040 {

class Psm : public RegisterBlock {
public:
    static constexpr std::uint32_t kForceOn = 0x0;
    static constexpr std::uint32_t kForceOff = 0x4;
    static constexpr std::uint32_t kWdsel = 0x8;
    static constexpr std::uint32_t kDone = 0xc;
    static constexpr std::uint32_t kProc0 = 1u << 15;
    static constexpr std::uint32_t kProc1 = 1u << 16;
    static constexpr std::uint32_t kAll = 0x1ffff;

    // Called when a processor is forced off (held = true) or let go.
    using ProcessorListener = std::function<void(int core, bool held)>;
    void setProcessorListener(ProcessorListener l) { listener_ = std::move(l); }

    void reset();

    std::uint32_t read(std::uint32_t offset) override { return peek(offset); }
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    std::uint32_t forceOn_ = 0;
    std::uint32_t forceOff_ = 0;
    std::uint32_t wdsel_ = 0;
    ProcessorListener listener_;
};

} // namespace sim::rp2040
