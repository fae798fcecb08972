// hardware_timer: the microsecond count, busy-waits and the four hardware
// alarms. An alarm's handler runs on the core that installed it.
#include "sdk/runtime.h"

#include <string>
#include <utility>

using namespace sim;
using namespace sim::sdk;

namespace {

constexpr unsigned kTimerSpinLock = PICO_SPINLOCK_ID_TIMER;

void checkAlarm(HostChip& c, uint alarm) {
    if (alarm >= NUM_TIMERS)
        c.failWith("hardware alarm " + std::to_string(alarm) + " does not exist");
}

// The alarm interrupt: clear it, and call the callback if the alarm is still
// wanted and its high word has come too.
void alarmIrq(unsigned alarm) {
    HostChip& c = chip();
    Runtime& rt = c.sdkRuntime();
    hardware_alarm_callback_t callback = nullptr;
    std::uint32_t save = c.saveAndDisableInterrupts();
    c.spinLockAcquire(kTimerSpinLock);
    c.timer.write(Timer::kIntr, 1u << alarm);
    c.timer.write(Timer::kIntf, c.timer.read(Timer::kIntf) & ~(1u << alarm));
    if ((rt.alarmCallbacksPending >> alarm) & 1u) {
        if ((timeUs(c) >> 32) >= (rt.alarmTargets[alarm] >> 32)) {
            callback = rt.alarmCallbacks[alarm];
            rt.alarmCallbacksPending =
                static_cast<std::uint8_t>(rt.alarmCallbacksPending & ~(1u << alarm));
        } else {
            // The low word matched a turn early: wait another 2^32 us.
            c.timer.write(Timer::kAlarm0 + 4 * alarm,
                          static_cast<std::uint32_t>(rt.alarmTargets[alarm]));
        }
    }
    c.spinLockRelease(kTimerSpinLock);
    c.restoreInterrupts(save);
    if (callback)
        callback(alarm);
}

template <unsigned N>
void alarmVector() {
    alarmIrq(N);
}

constexpr IrqHandler kAlarmVectors[NUM_TIMERS] = {&alarmVector<0>, &alarmVector<1>, &alarmVector<2>,
                                                  &alarmVector<3>};

} // namespace

extern "C" {

uint32_t time_us_32(void) {
    return static_cast<std::uint32_t>(time_us_64());
}

uint64_t time_us_64(void) {
    HostChip& c = chip();
    std::uint64_t us = timeUs(c);
    done(c);
    return us;
}

void busy_wait_us_32(uint32_t delay_us) {
    busy_wait_us(delay_us);
}

void busy_wait_us(uint64_t delay_us) {
    HostChip& c = chip();
    std::uint64_t target = timeUs(c) + delay_us;
    if (target < delay_us)
        target = ~std::uint64_t{0};
    busy_wait_until(from_us_since_boot(target));
}

void busy_wait_ms(uint32_t delay_ms) {
    busy_wait_us(delay_ms * 1000ull);
}

void busy_wait_until(absolute_time_t t) {
    HostChip& c = chip();
    const std::uint64_t target = to_us_since_boot(t);
    // Again after each wake: a debugger halt may have held the count back.
    while (target > timeUs(c) && !c.simulation().stopped())
        c.busyWaitUntil(c.timer.worldTimeOf(target));
    done(c);
}

// A loop polling this spins on the chip while the timer counts on. Each
// poll that finds the time not yet reached waits for the next microsecond,
// when the answer can change at the earliest, so the loop ends instead of
// holding virtual time still; anything else runs meanwhile.
bool time_reached(absolute_time_t t) {
    HostChip& c = chip();
    const std::uint64_t us = timeUs(c);
    const bool reached = us >= to_us_since_boot(t);
    if (!reached)
        c.busyWaitUntil(c.timer.worldTimeOf(us + 1));
    done(c);
    return reached;
}

void hardware_alarm_claim(uint alarm_num) {
    HostChip& c = chip();
    checkAlarm(c, alarm_num);
    std::uint8_t& claimed = c.sdkRuntime().alarmsClaimed;
    if ((claimed >> alarm_num) & 1u)
        c.failWith("hardware alarm " + std::to_string(alarm_num) + " is already claimed");
    claimed = static_cast<std::uint8_t>(claimed | (1u << alarm_num));
    done(c);
}

int hardware_alarm_claim_unused(bool required) {
    HostChip& c = chip();
    std::uint8_t& claimed = c.sdkRuntime().alarmsClaimed;
    for (uint n = 0; n < NUM_TIMERS; ++n) {
        if (!((claimed >> n) & 1u)) {
            claimed = static_cast<std::uint8_t>(claimed | (1u << n));
            done(c);
            return static_cast<int>(n);
        }
    }
    if (required)
        c.failWith("no hardware alarms are available");
    done(c);
    return -1;
}

void hardware_alarm_unclaim(uint alarm_num) {
    HostChip& c = chip();
    checkAlarm(c, alarm_num);
    c.sdkRuntime().alarmsClaimed =
        static_cast<std::uint8_t>(c.sdkRuntime().alarmsClaimed & ~(1u << alarm_num));
    done(c);
}

bool hardware_alarm_is_claimed(uint alarm_num) {
    HostChip& c = chip();
    checkAlarm(c, alarm_num);
    return (c.sdkRuntime().alarmsClaimed >> alarm_num) & 1u;
}

void hardware_alarm_set_callback(uint alarm_num, hardware_alarm_callback_t callback) {
    HostChip& c = chip();
    checkAlarm(c, alarm_num);
    Runtime& rt = c.sdkRuntime();
    const unsigned irq = TIMER_IRQ_0 + alarm_num;
    const int core = c.currentCore() < 0 ? 0 : c.currentCore();
    if (callback) {
        if (c.irqHandler(irq) != kAlarmVectors[alarm_num]) {
            c.setIrqHandler(irq, kAlarmVectors[alarm_num]);
            c.setIrqEnabled(core, irq, true);
            c.timer.write(Timer::kInte, c.timer.read(Timer::kInte) | (1u << alarm_num));
        }
        rt.alarmCallbacks[alarm_num] = callback;
    } else {
        rt.alarmCallbacks[alarm_num] = nullptr;
        rt.alarmCallbacksPending =
            static_cast<std::uint8_t>(rt.alarmCallbacksPending & ~(1u << alarm_num));
        if (c.irqHandler(irq) == kAlarmVectors[alarm_num])
            c.setIrqHandler(irq, nullptr);
        c.setIrqEnabled(core, irq, false);
    }
    done(c);
}

bool hardware_alarm_set_target(uint alarm_num, absolute_time_t target) {
    HostChip& c = chip();
    checkAlarm(c, alarm_num);
    Runtime& rt = c.sdkRuntime();
    const std::uint64_t t = to_us_since_boot(target);
    bool missed = timeUs(c) >= t;
    if (!missed) {
        std::uint32_t save = c.saveAndDisableInterrupts();
        c.spinLockAcquire(kTimerSpinLock);
        rt.alarmCallbacksPending =
            static_cast<std::uint8_t>(rt.alarmCallbacksPending | (1u << alarm_num));
        c.timer.write(Timer::kIntr, 1u << alarm_num);
        c.timer.write(Timer::kAlarm0 + 4 * alarm_num, static_cast<std::uint32_t>(t));
        rt.alarmTargets[alarm_num] = t;
        c.spinLockRelease(kTimerSpinLock);
        c.restoreInterrupts(save);
    }
    done(c);
    return missed;
}

void hardware_alarm_cancel(uint alarm_num) {
    HostChip& c = chip();
    checkAlarm(c, alarm_num);
    Runtime& rt = c.sdkRuntime();
    c.timer.write(Timer::kArmed, 1u << alarm_num);
    rt.alarmCallbacksPending =
        static_cast<std::uint8_t>(rt.alarmCallbacksPending & ~(1u << alarm_num));
    done(c);
}

void hardware_alarm_force_irq(uint alarm_num) {
    HostChip& c = chip();
    checkAlarm(c, alarm_num);
    Runtime& rt = c.sdkRuntime();
    rt.alarmCallbacksPending =
        static_cast<std::uint8_t>(rt.alarmCallbacksPending | (1u << alarm_num));
    c.timer.write(Timer::kIntf, c.timer.read(Timer::kIntf) | (1u << alarm_num));
    done(c);
}

} // extern "C"
