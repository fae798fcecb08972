// The watchdog timer. Its count is loaded with a value and decremented on
// every 1 us tick; at zero it resets the chip. On the RP2040 the count drops
// by two per tick, which is why the SDK loads twice the microseconds. It can
// pause while a debugger halts the cores. The reason of the last reset and the
// scratch registers survive a watchdog reset; the count stops with it.
#pragma once

#include "kernel/event_queue.h"
#include "kernel/time.h"

#include <array>
#include <cstdint>

namespace sim {

class Chip;

class Watchdog {
public:
    static constexpr std::uint32_t kMaxLoad = 0xFFFFFF;
    // Reason bits of the last reset.
    static constexpr std::uint32_t kReasonTimer = 1;
    static constexpr std::uint32_t kReasonForce = 2;

    explicit Watchdog(Chip& chip);
    ~Watchdog();

    // After a chip reset: disabled, reason and scratch kept.
    void chipReset();
    // At power-on: everything cleared.
    void powerOnReset();

    // --- registers ---------------------------------------------------------------
    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }
    void setPauseOnDebug(bool pause);
    bool pausesOnDebug() const { return pauseOnDebug_; }
    // LOAD: the count starts over from `count` (two per microsecond).
    void load(std::uint32_t count);
    // CTRL.TIME: the count now.
    std::uint32_t count() const;
    // CTRL.TRIGGER: resets the chip at once.
    void trigger();
    std::uint32_t reason() const { return reason_; }
    std::array<std::uint32_t, 8>& scratch() { return scratch_; }

    // The debugger halted or released the cores.
    void debugHaltChanged(bool halted);

    // When the count will reach zero, if it runs.
    Time expiresAt() const { return expiry_.scheduled() ? expiry_.when() : kNever; }
    Time lastLoad() const { return loadedAt_; }

private:
    bool paused() const;
    void reschedule();
    void expire();

    Chip& chip_;
    bool enabled_ = false;
    bool pauseOnDebug_ = false;
    bool halted_ = false;
    std::uint32_t loaded_ = 0; // the count at `loadedAt_` (or when it was frozen)
    Time loadedAt_ = 0;
    std::uint32_t reason_ = 0;
    std::array<std::uint32_t, 8> scratch_{};
    CallbackEvent expiry_;
};

} // namespace sim
