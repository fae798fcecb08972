// One core going round the kernel's idle loop, watched from outside. The
// first place the core is seen at becomes the mark; each time the core
// passes the mark again, the time since the previous pass is the loop's
// period. Two passes the same period apart, with the same registers and
// flags, show a loop that repeats exactly: jumping whole periods ahead then
// leaves the core where, and in the state, it would have been.
#pragma once

#include "arm/core.h"
#include "engine/time.h"

#include <array>
#include <cstdint>

namespace sim::rp2040 {

class IdleLoop {
public:
    // A mark not passed for this long was off the loop's path: a new one is
    // taken. The idle loops go round in a few dozen cycles.
    static constexpr Time kLongestPeriod = 4000 * 8;

    // The core is about to execute at `now` in the idle code. True when it
    // is at the mark.
    bool observe(const arm::Core& core, Time now);
    void forget() { marked_ = confirmed_ = false; }
    // Repeating exactly, and passed the mark within the last period.
    bool steady(Time now) const { return confirmed_ && now - at_ < period_; }
    Time period() const { return period_; }
    // The core jumped ahead by whole periods.
    void jumped(Time by) { at_ += by; }

private:
    using Registers = std::array<std::uint32_t, 16>; // r0..r14, xPSR
    static Registers registersOf(const arm::Core& core);

    bool marked_ = false;
    bool confirmed_ = false;
    std::uint32_t pc_ = 0;
    Time at_ = 0;
    Time period_ = 0;
    Registers registers_{};
};

} // namespace sim::rp2040
