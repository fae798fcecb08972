#include "chip/timer.h"

#include "chip/block_host.h"

namespace sim {

namespace {

constexpr RegisterInfo kRegisters[] = {
    action(Timer::kTimeHw, 0, 0xFFFFFFFF), // sets the count, with TIMELW
    action(Timer::kTimeLw, 0, 0xFFFFFFFF),
    status(Timer::kTimeHr, 0),
    status(Timer::kTimeLr, 0),
    stored(Timer::kAlarm0, 0, 0xFFFFFFFF), // arms the alarm
    stored(Timer::kAlarm0 + 4, 0, 0xFFFFFFFF),
    stored(Timer::kAlarm0 + 8, 0, 0xFFFFFFFF),
    stored(Timer::kAlarm0 + 12, 0, 0xFFFFFFFF),
    status(Timer::kArmed, 0, 0xF, 0xF), // a 1 disarms
    status(Timer::kTimeRawH, 0),
    status(Timer::kTimeRawL, 0),
    stored(Timer::kDbgPause, Timer::kDbgPauseReset, Timer::kDbgPauseBits),
    stored(Timer::kPause, 0, 0x1),
    status(Timer::kIntr, 0, 0xF, 0xF),
    stored(Timer::kInte, 0, 0xF),
    stored(Timer::kIntf, 0, 0xF),
    status(Timer::kInts, 0),
};
constexpr RegisterMap kMap{kRegisters};

} // namespace

const RegisterMap& Timer::registers() {
    return kMap;
}

Timer::Timer(BlockHost& host) : host_(host) {
    for (unsigned n = 0; n < kAlarms; ++n)
        events_[n].set([this, n] { fire(n); });
}

Timer::~Timer() {
    for (auto& e : events_)
        host_.simulation().events().cancel(e);
}

void Timer::reset() {
    for (auto& e : events_)
        host_.simulation().events().cancel(e);
    offset_ = 0;
    paused_ = false;
    frozen_ = 0;
    lowWritten_ = highLatched_ = 0;
    dbgPause_ = kMap.reset(kDbgPause);
    targets_.fill(0);
    armed_ = raw_ = enable_ = force_ = 0;
    updateLines();
}

std::uint64_t Timer::microseconds() const {
    if (stopped())
        return frozen_;
    return host_.sinceReset() / 1000 + offset_;
}

Time Timer::worldTimeOf(std::uint64_t us) const {
    if (stopped())
        return kNever;
    // Modulo 2^64, like the count: a count already passed gives a past time.
    return host_.now() - host_.sinceReset() + sim::microseconds(us - offset_);
}

void Timer::setTime(std::uint64_t us) {
    if (stopped())
        frozen_ = us;
    else
        offset_ = us - host_.sinceReset() / 1000;
    for (unsigned n = 0; n < kAlarms; ++n)
        scheduleAlarm(n);
}

template <class F>
void Timer::changeStop(F&& change) {
    const std::uint64_t count = microseconds();
    change();
    if (stopped())
        frozen_ = count;
    else
        offset_ = count - host_.sinceReset() / 1000;
    for (unsigned n = 0; n < kAlarms; ++n)
        scheduleAlarm(n);
}

void Timer::setPaused(bool paused) {
    changeStop([&] { paused_ = paused; });
}

void Timer::debugHaltChanged(bool halted) {
    changeStop([&] { halted_ = halted; });
}

void Timer::setAlarm(unsigned alarm, std::uint32_t target) {
    targets_.at(alarm) = target;
    armed_ |= 1u << alarm;
    scheduleAlarm(alarm);
}

void Timer::scheduleAlarm(unsigned alarm) {
    EventQueue& events = host_.simulation().events();
    if (!((armed_ >> alarm) & 1u) || stopped()) {
        events.cancel(events_[alarm]);
        return;
    }
    const std::uint64_t now = microseconds();
    // The next tick at which the low word equals the target; the tick that
    // has already passed does not count, so the same value waits a full turn.
    std::uint64_t at = (now & ~std::uint64_t{0xFFFFFFFF}) | targets_[alarm];
    if (at <= now)
        at += std::uint64_t{1} << 32;
    host_.simulation().schedule(events_[alarm], worldTimeOf(at));
}

void Timer::disarm(std::uint32_t mask) {
    for (unsigned n = 0; n < kAlarms; ++n) {
        if ((mask >> n) & 1u)
            host_.simulation().events().cancel(events_[n]);
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
        host_.setIrqLine(n, (status >> n) & 1u); // TIMER_IRQ_0..3 are 0..3
}

std::uint32_t Timer::read(std::uint32_t offset) {
    if (offset == kTimeLr) {
        const std::uint64_t us = microseconds();
        highLatched_ = static_cast<std::uint32_t>(us >> 32);
        return static_cast<std::uint32_t>(us);
    }
    return peek(offset);
}

std::uint32_t Timer::peek(std::uint32_t offset) const {
    const std::uint64_t us = microseconds();
    if (offset >= kAlarm0 && offset < kArmed)
        return targets_[(offset - kAlarm0) / 4];
    switch (offset) {
    case kTimeHr:
        return highLatched_;
    case kTimeLr:
    case kTimeRawL:
        return static_cast<std::uint32_t>(us);
    case kTimeRawH:
        return static_cast<std::uint32_t>(us >> 32);
    case kArmed:
        return armed_;
    case kDbgPause:
        return dbgPause_;
    case kPause:
        return paused_ ? 1u : 0u;
    case kIntr:
        return raw_;
    case kInte:
        return enable_;
    case kIntf:
        return force_;
    case kInts:
        return interruptStatus();
    default:
        return 0; // TIMEHW and TIMELW are write-only
    }
}

void Timer::write(std::uint32_t offset, std::uint32_t value) {
    if (offset >= kAlarm0 && offset < kArmed) {
        setAlarm((offset - kAlarm0) / 4, value);
        return;
    }
    switch (offset) {
    case kTimeLw:
        lowWritten_ = value;
        break;
    case kTimeHw:
        setTime(std::uint64_t{value} << 32 | lowWritten_);
        break;
    case kArmed:
        disarm(kMap.clearBits(kArmed) & value);
        break;
    case kDbgPause:
        // Bit 0, reserved, keeps reading its reset value 1.
        changeStop(
            [&] { dbgPause_ = (dbgPause_ & ~kDbgPauseBits) | kMap.masked(kDbgPause, value); });
        break;
    case kPause:
        setPaused(kMap.masked(kPause, value) != 0);
        break;
    case kIntr:
        clearInterrupts(kMap.clearBits(kIntr) & value);
        break;
    case kInte:
        enable_ = kMap.masked(kInte, value);
        updateLines();
        break;
    case kIntf:
        force_ = kMap.masked(kIntf, value);
        updateLines();
        break;
    default:
        break;
    }
}

} // namespace sim
