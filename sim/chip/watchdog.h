// The watchdog timer. Its count is loaded with a value and decremented on
// every 1 us tick; at zero it resets the chip. On the RP2040 the count drops
// by two per tick, which is why the SDK loads twice the microseconds. It can
// pause while a debugger halts the cores. The reason of the last reset and the
// scratch registers survive a watchdog reset; the count stops with it.
//
// Registers: CTRL (TIME, the count now, read-only; the three pause bits;
// ENABLE; TRIGGER, which resets at once), LOAD (write-only), REASON,
// SCRATCH0..7 and TICK. A debugger halt stops both cores, so the count pauses
// while PAUSE_DBG0 or PAUSE_DBG1 is set; PAUSE_JTAG is stored only. TICK's
// CYCLES and ENABLE are stored: the model ticks every microsecond whatever
// they say, RUNNING follows ENABLE and COUNT reads 0.
#pragma once

#include "chip/register_block.h"
#include "chip/register_map.h"
#include "engine/event_queue.h"
#include "engine/time.h"

#include <array>
#include <cstdint>

namespace sim {

class BlockHost;

class Watchdog : public RegisterBlock {
public:
    static constexpr std::uint32_t kMaxLoad = 0xFFFFFF;
    // Reason bits of the last reset.
    static constexpr std::uint32_t kReasonTimer = 1;
    static constexpr std::uint32_t kReasonForce = 2;

    // Register offsets and bits.
    static constexpr std::uint32_t kCtrl = 0x00;
    static constexpr std::uint32_t kLoad = 0x04;
    static constexpr std::uint32_t kReason = 0x08;
    static constexpr std::uint32_t kScratch0 = 0x0c;
    static constexpr std::uint32_t kTick = 0x2c;
    static constexpr std::uint32_t kCtrlPauseJtag = 1u << 24;
    static constexpr std::uint32_t kCtrlPauseDbg0 = 1u << 25;
    static constexpr std::uint32_t kCtrlPauseDbg1 = 1u << 26;
    static constexpr std::uint32_t kCtrlEnable = 1u << 30;
    static constexpr std::uint32_t kCtrlTrigger = 1u << 31;
    static constexpr std::uint32_t kCtrlPauseBits =
        kCtrlPauseJtag | kCtrlPauseDbg0 | kCtrlPauseDbg1;
    static constexpr std::uint32_t kTickEnable = 1u << 9;
    static constexpr std::uint32_t kTickRunning = 1u << 10;

    // Every register with its reset value and writable bits.
    static const RegisterMap& registers();

    explicit Watchdog(BlockHost& host);
    ~Watchdog() override;

    // After a chip reset: disabled, reason and scratch kept.
    void chipReset();
    // At power-on: everything cleared.
    void powerOnReset();

    // --- what the registers hold, as a probe sees it -----------------------------
    bool enabled() const { return enabled_; }
    bool pausesOnDebug() const { return (pauseBits_ & (kCtrlPauseDbg0 | kCtrlPauseDbg1)) != 0; }
    // CTRL.TIME: the count now.
    std::uint32_t count() const;
    // CTRL.TRIGGER: resets the chip at once (as a debugger can, too).
    void trigger();
    std::uint32_t reason() const { return reason_; }
    std::array<std::uint32_t, 8>& scratch() { return scratch_; }

    // The debugger halted or released the cores.
    void debugHaltChanged(bool halted);

    // When the count will reach zero, if it runs.
    Time expiresAt() const { return expiry_.scheduled() ? expiry_.when() : kNever; }
    Time lastLoad() const { return loadedAt_; }

    // RegisterBlock
    std::uint32_t read(std::uint32_t offset) override { return peek(offset); }
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    void setEnabled(bool enabled);
    void setPauseBits(std::uint32_t bits);
    // LOAD: the count starts over from `count` (two per microsecond).
    void load(std::uint32_t count);
    bool paused() const;
    void reschedule();
    void expire();

    BlockHost& host_;
    bool enabled_ = false;
    std::uint32_t pauseBits_ = kCtrlPauseBits;
    std::uint32_t tick_ = kTickEnable;
    bool halted_ = false;
    std::uint32_t loaded_ = 0; // the count at `loadedAt_` (or when it was frozen)
    Time loadedAt_ = 0;
    std::uint32_t reason_ = 0;
    std::array<std::uint32_t, 8> scratch_{};
    CallbackEvent expiry_;
};

} // namespace sim
