// RESETS: one reset line per peripheral. A block whose bit is set in RESET
// is held in reset; RESET_DONE shows the blocks that are out of reset (here
// at once, as the model needs no settling time). Putting a block into reset
// resets its model; taking it out tells the chip too (the timer starts
// counting from zero then).
#pragma once

#include "chip/register_block.h"

#include <cstdint>
#include <functional>

namespace sim::rp2040 {

namespace resetbit {
constexpr std::uint32_t kAdc = 1u << 0;
constexpr std::uint32_t kBusctrl = 1u << 1;
constexpr std::uint32_t kDma = 1u << 2;
constexpr std::uint32_t kI2c0 = 1u << 3;
constexpr std::uint32_t kI2c1 = 1u << 4;
constexpr std::uint32_t kIoBank0 = 1u << 5;
constexpr std::uint32_t kIoQspi = 1u << 6;
constexpr std::uint32_t kJtag = 1u << 7;
constexpr std::uint32_t kPadsBank0 = 1u << 8;
constexpr std::uint32_t kPadsQspi = 1u << 9;
constexpr std::uint32_t kPio0 = 1u << 10;
constexpr std::uint32_t kPio1 = 1u << 11;
constexpr std::uint32_t kPllSys = 1u << 12;
constexpr std::uint32_t kPllUsb = 1u << 13;
constexpr std::uint32_t kPwm = 1u << 14;
constexpr std::uint32_t kRtc = 1u << 15;
constexpr std::uint32_t kSpi0 = 1u << 16;
constexpr std::uint32_t kSpi1 = 1u << 17;
constexpr std::uint32_t kSyscfg = 1u << 18;
constexpr std::uint32_t kSysinfo = 1u << 19;
constexpr std::uint32_t kTbman = 1u << 20;
constexpr std::uint32_t kTimer = 1u << 21;
constexpr std::uint32_t kUart0 = 1u << 22;
constexpr std::uint32_t kUart1 = 1u << 23;
constexpr std::uint32_t kUsbctrl = 1u << 24;
constexpr std::uint32_t kAll = 0x01ffffff;
} // namespace resetbit

class Resets : public RegisterBlock {
public:
    static constexpr std::uint32_t kReset = 0x0;
    static constexpr std::uint32_t kWdsel = 0x4;
    static constexpr std::uint32_t kResetDone = 0x8;

    // Called with the blocks that just entered reset, and with those that
    // just left it.
    using Listener = std::function<void(std::uint32_t entered, std::uint32_t left)>;
    void setListener(Listener l) { listener_ = std::move(l); }

    // Chip reset: every block held in reset (the listener is not called).
    void reset();
    // What a reset line does, as the bootrom or a test sets it.
    void hold(std::uint32_t mask) { setHeld(held_ | mask); }
    void release(std::uint32_t mask) { setHeld(held_ & ~mask); }
    std::uint32_t held() const { return held_; }
    bool inReset(std::uint32_t bit) const { return (held_ & bit) != 0; }

    std::uint32_t read(std::uint32_t offset) override { return peek(offset); }
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    void setHeld(std::uint32_t held);

    std::uint32_t held_ = resetbit::kAll;
    std::uint32_t wdsel_ = 0;
    Listener listener_;
};

} // namespace sim::rp2040
