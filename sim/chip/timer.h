// The 64-bit microsecond timer and its four alarms. The count is the chip's
// time since reset, plus whatever the firmware set it to through TIMEHW and
// TIMELW. An alarm compares the low 32 bits of the count with its target at
// every tick; on a match it disarms and latches its interrupt, which raises
// TIMER_IRQ_n while enabled (or forced), until the handler clears it.
//
// Registers: writing TIMELW and then TIMEHW sets the count; reading TIMELR
// latches the high word that TIMEHR then returns; TIMERAWH/TIMERAWL read
// without the latch. PAUSE stops the count (alarms wait with it). So does a
// debugger halt while DBGPAUSE's DBG0 or DBG1 bit is set: the model's halt
// stops both cores at once, so either bit pauses the count, as it does the
// watchdog's.
#pragma once

#include "chip/register_block.h"
#include "chip/register_map.h"
#include "engine/event_queue.h"
#include "engine/time.h"

#include <array>
#include <cstdint>

namespace sim {

class BlockHost;

class Timer : public RegisterBlock {
public:
    static constexpr unsigned kAlarms = 4;

    // Register offsets.
    static constexpr std::uint32_t kTimeHw = 0x00;
    static constexpr std::uint32_t kTimeLw = 0x04;
    static constexpr std::uint32_t kTimeHr = 0x08;
    static constexpr std::uint32_t kTimeLr = 0x0c;
    static constexpr std::uint32_t kAlarm0 = 0x10;
    static constexpr std::uint32_t kArmed = 0x20;
    static constexpr std::uint32_t kTimeRawH = 0x24;
    static constexpr std::uint32_t kTimeRawL = 0x28;
    static constexpr std::uint32_t kDbgPause = 0x2c;
    static constexpr std::uint32_t kPause = 0x30;
    static constexpr std::uint32_t kIntr = 0x34;
    static constexpr std::uint32_t kInte = 0x38;
    static constexpr std::uint32_t kIntf = 0x3c;
    static constexpr std::uint32_t kInts = 0x40;
    static constexpr std::uint32_t kDbgPauseReset = 0x7;
    static constexpr std::uint32_t kDbgPauseBits = 0x6; // DBG0, DBG1

    // Every register with its reset value and writable bits.
    static const RegisterMap& registers();

    explicit Timer(BlockHost& host);
    ~Timer() override;

    void reset();

    // --- what the registers hold, as a probe sees it -----------------------------
    std::uint64_t microseconds() const;
    // The world time at which the count reaches `us` (kNever while paused):
    // where a core polling the count sees it get there.
    Time worldTimeOf(std::uint64_t us) const;
    bool paused() const { return paused_; }
    // The debugger halted or released the cores.
    void debugHaltChanged(bool halted);
    // PAUSE, or a debugger halt that DBGPAUSE lets stop the count.
    bool stopped() const { return paused_ || (halted_ && (dbgPause_ & kDbgPauseBits)); }

    std::uint32_t alarmTarget(unsigned alarm) const { return targets_.at(alarm); }
    std::uint32_t armed() const { return armed_; }
    // INTR (raw), INTE, INTF (forced), INTS (status).
    std::uint32_t rawInterrupts() const { return raw_; }
    std::uint32_t interruptEnable() const { return enable_; }
    std::uint32_t force() const { return force_; }
    std::uint32_t interruptStatus() const { return ((raw_ & enable_) | force_) & 0xFu; }

    // RegisterBlock. Reading TIMELR latches the high word for TIMEHR.
    std::uint32_t read(std::uint32_t offset) override;
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;
    // INTR's latched alarms and ARMED (a 1 disarms).
    std::uint32_t writeClearBits(std::uint32_t offset) const override {
        return registers().clearBits(offset);
    }

private:
    // TIMEHW after TIMELW: the count jumps to `us`; armed alarms look again.
    void setTime(std::uint64_t us);
    // PAUSE: the count stops where it is, and runs on from there.
    void setPaused(bool paused);
    // ALARMn: arms the alarm for the next time the low word equals `target`.
    void setAlarm(unsigned alarm, std::uint32_t target);
    // ARMED: writing a 1 disarms.
    void disarm(std::uint32_t mask);
    // INTR: write 1 to clear.
    void clearInterrupts(std::uint32_t mask);
    // Applies `change` to what stops the count, which stops or runs on from
    // where it was; armed alarms look again.
    template <class F>
    void changeStop(F&& change);
    void scheduleAlarm(unsigned alarm);
    void fire(unsigned alarm);
    void updateLines();

    BlockHost& host_;
    std::uint64_t offset_ = 0; // added to the microseconds since reset
    bool paused_ = false;
    bool halted_ = false;      // by a debugger; a chip reset leaves it so
    std::uint64_t frozen_ = 0; // the count while stopped
    std::uint32_t lowWritten_ = 0;
    std::uint32_t highLatched_ = 0;
    std::uint32_t dbgPause_ = kDbgPauseReset;
    std::uint32_t armed_ = 0;
    std::uint32_t raw_ = 0;
    std::uint32_t enable_ = 0;
    std::uint32_t force_ = 0;
    std::array<std::uint32_t, kAlarms> targets_{};
    std::array<CallbackEvent, kAlarms> events_;
};

} // namespace sim
