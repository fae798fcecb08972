// The 64-bit microsecond timer and its four alarms. The count is the chip's
// time since reset. An alarm compares the low 32 bits of the count with its
// target at every tick; on a match it disarms and latches its interrupt,
// which raises TIMER_IRQ_n while enabled, until the handler clears it.
#pragma once

#include "kernel/event_queue.h"
#include "kernel/time.h"

#include <array>
#include <cstdint>

namespace sim {

class Chip;

class Timer {
public:
    static constexpr unsigned kAlarms = 4;

    explicit Timer(Chip& chip);
    ~Timer();

    void reset();

    std::uint64_t microseconds() const;
    // The world time at which the count reaches `us`.
    Time worldTimeOf(std::uint64_t us) const;

    // ALARMn: arms the alarm for the next time the low word equals `target`.
    void setAlarm(unsigned alarm, std::uint32_t target);
    // ARMED: writing a 1 disarms.
    void disarm(std::uint32_t mask);
    std::uint32_t armed() const { return armed_; }
    // INTR (raw, write 1 to clear), INTE, INTF (forced), INTS (status).
    void clearInterrupts(std::uint32_t mask);
    std::uint32_t rawInterrupts() const { return raw_; }
    void setInterruptEnable(std::uint32_t mask) {
        enable_ = mask & 0xFu;
        updateLines();
    }
    std::uint32_t interruptEnable() const { return enable_; }
    void setForce(std::uint32_t mask) {
        force_ = mask & 0xFu;
        updateLines();
    }
    std::uint32_t force() const { return force_; }
    std::uint32_t interruptStatus() const { return ((raw_ & enable_) | force_) & 0xFu; }

private:
    void fire(unsigned alarm);
    void updateLines();

    Chip& chip_;
    std::uint32_t armed_ = 0;
    std::uint32_t raw_ = 0;
    std::uint32_t enable_ = 0;
    std::uint32_t force_ = 0;
    std::array<CallbackEvent, kAlarms> events_;
};

} // namespace sim
