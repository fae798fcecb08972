#include "chip/timer.h"

#include "chip/chip.h"

namespace sim {

Timer::Timer(Chip& chip) : chip_(chip) {
    for (unsigned n = 0; n < kAlarms; ++n)
        events_[n].set([this, n] { fire(n); });
}

Timer::~Timer() {
    for (auto& e : events_)
        chip_.simulation().events().cancel(e);
}

void Timer::reset() {
    for (auto& e : events_)
        chip_.simulation().events().cancel(e);
    armed_ = raw_ = enable_ = force_ = 0;
    updateLines();
}

std::uint64_t Timer::microseconds() const {
    return chip_.sinceReset() / 1000;
}

Time Timer::worldTimeOf(std::uint64_t us) const {
    return chip_.now() - chip_.sinceReset() + sim::microseconds(us);
}

void Timer::setAlarm(unsigned alarm, std::uint32_t target) {
    const std::uint64_t now = microseconds();
    // The next tick at which the low word equals the target; the tick that
    // has already passed does not count, so the same value waits a full turn.
    std::uint64_t at = (now & ~std::uint64_t{0xFFFFFFFF}) | target;
    if (at <= now)
        at += std::uint64_t{1} << 32;
    armed_ |= 1u << alarm;
    chip_.simulation().schedule(events_.at(alarm), worldTimeOf(at));
}

void Timer::disarm(std::uint32_t mask) {
    for (unsigned n = 0; n < kAlarms; ++n) {
        if ((mask >> n) & 1u)
            chip_.simulation().events().cancel(events_[n]);
    }
    armed_ &= ~mask;
}

void Timer::clearInterrupts(std::uint32_t mask) {
    raw_ &= ~mask;
    updateLines();
}

void Timer::fire(unsigned alarm) {
    armed_ &= ~(1u << alarm);
    raw_ |= 1u << alarm;
    updateLines();
}

void Timer::updateLines() {
    const std::uint32_t status = interruptStatus();
    for (unsigned n = 0; n < kAlarms; ++n)
        chip_.setIrqLine(n, (status >> n) & 1u); // TIMER_IRQ_0..3 are 0..3
}

} // namespace sim
