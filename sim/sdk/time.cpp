// pico_time: the default alarm pool on hardware alarm 3 and sleeping.
//
// A sleep in a task goes the way the SDK's FreeRTOS interoperation takes it:
// an alarm in the pool, set PICO_TIME_SLEEP_OVERHEAD_ADJUST_US before the
// deadline; its interrupt runs on core 0 (where the runtime set the pool up)
// and notifies the sleep lock, which sets an RTOS event group bit from the
// interrupt, a call the timer service task carries out; the sleeping task
// waits on that bit, then busy-waits the last stretch. So a sleep ends late
// when core 0 cannot take the interrupt or the timer service task cannot run.
#include "sdk/runtime.h"

#include <algorithm>

using namespace sim;
using namespace sim::sdk;

// The default pool; its address is all the firmware sees of it.
struct alarm_pool {
    int unused;
};

extern "C" {
const absolute_time_t ABSOLUTE_TIME_INITIALIZED_VAR(nil_time, 0);
const absolute_time_t ABSOLUTE_TIME_INITIALIZED_VAR(at_the_end_of_time, INT64_MAX);
}

namespace {

alarm_pool g_defaultPool{};

constexpr uint kPoolAlarm = PICO_TIME_DEFAULT_ALARM_POOL_HARDWARE_ALARM_NUM;
constexpr std::size_t kPoolSize = PICO_TIME_DEFAULT_ALARM_POOL_MAX_TIMERS;
// The pool's lock is the first striped lock; the sleep notifier's is the
// timer lock.
constexpr unsigned kPoolLock = PICO_SPINLOCK_ID_STRIPED_FIRST;
constexpr unsigned kSleepLock = PICO_SPINLOCK_ID_TIMER;

void checkPool(HostChip& c, alarm_pool_t* pool) {
    if (pool != &g_defaultPool || !c.sdkRuntime().defaultPoolReady)
        c.failWith("alarm pool used before the runtime set it up");
}

std::uint32_t lockPool(HostChip& c) {
    std::uint32_t save = c.saveAndDisableInterrupts();
    c.spinLockAcquire(kPoolLock);
    return save;
}

void unlockPool(HostChip& c, std::uint32_t save) {
    c.spinLockRelease(kPoolLock);
    c.restoreInterrupts(save);
}

// Inserts an alarm in target order (after equal targets) and, when it is the
// new head, sets the hardware alarm for it. Returns its id, or 0 when the
// pool is full; `missed` tells that it became the head with its time gone,
// and then it is not kept unless `keepIfPast`.
alarm_id_t insertUnderLock(Runtime& rt, std::uint64_t target, alarm_callback_t callback,
                           void* userData, alarm_id_t reuse, bool keepIfPast, bool& missed) {
    missed = false;
    if (rt.poolAlarms.size() >= kPoolSize)
        return 0;
    alarm_id_t id = reuse ? reuse : rt.nextAlarmId++;
    if (rt.nextAlarmId <= 0)
        rt.nextAlarmId = 1;
    auto at = std::upper_bound(rt.poolAlarms.begin(), rt.poolAlarms.end(), target,
                               [](std::uint64_t t, const PoolAlarm& a) { return t < a.target; });
    const bool head = at == rt.poolAlarms.begin();
    rt.poolAlarms.insert(at, PoolAlarm{id, target, callback, userData});
    if (head) {
        missed = hardware_alarm_set_target(kPoolAlarm, from_us_since_boot(target));
        if (missed && !keepIfPast)
            rt.poolAlarms.erase(rt.poolAlarms.begin());
    }
    return id;
}

// The pool's hardware alarm callback, in the alarm's interrupt: runs every
// alarm that is due, one at a time outside the lock, and re-adds those that
// ask to repeat.
void poolAlarmFired(uint) {
    HostChip& c = chip();
    Runtime& rt = c.sdkRuntime();
    bool again;
    do {
        again = false;
        const std::uint64_t now = timeUs(c);
        std::uint32_t save = lockPool(c);
        PoolAlarm due{};
        bool have = false;
        if (!rt.poolAlarms.empty()) {
            if (rt.poolAlarms.front().target <= now) {
                due = rt.poolAlarms.front();
                rt.poolAlarms.erase(rt.poolAlarms.begin());
                rt.alarmInProgress = due.id;
                have = true;
            } else if (hardware_alarm_set_target(
                           kPoolAlarm, from_us_since_boot(rt.poolAlarms.front().target))) {
                again = true;
            }
        }
        unlockPool(c, save);
        if (have) {
            const std::int64_t repeat = due.callback(due.id, due.userData);
            save = lockPool(c);
            bool missed = false;
            if (repeat < 0 && rt.alarmInProgress) {
                insertUnderLock(rt, due.target + static_cast<std::uint64_t>(-repeat), due.callback,
                                due.userData, due.id, true, missed);
            } else if (repeat > 0 && rt.alarmInProgress) {
                insertUnderLock(rt, timeUs(c) + static_cast<std::uint64_t>(repeat), due.callback,
                                due.userData, due.id, true, missed);
            }
            rt.alarmInProgress = 0;
            unlockPool(c, save);
            again = true;
        }
    } while (again);
}

std::int64_t sleepAlarm(alarm_id_t, void*) {
    HostChip& c = chip();
    std::uint32_t save = c.saveAndDisableInterrupts();
    c.spinLockAcquire(kSleepLock);
    unlockWithNotify(c, kSleepLock, save);
    return 0;
}

} // namespace

extern "C" {

void alarm_pool_init_default(void) {
    HostChip& c = chip();
    Runtime& rt = c.sdkRuntime();
    if (!rt.defaultPoolReady) {
        hardware_alarm_claim(kPoolAlarm);
        hardware_alarm_cancel(kPoolAlarm);
        hardware_alarm_set_callback(kPoolAlarm, &poolAlarmFired);
        next_striped_spin_lock_num(); // the pool's lock
        rt.defaultPoolReady = true;
    }
    done(c);
}

alarm_pool_t* alarm_pool_get_default(void) {
    checkPool(chip(), &g_defaultPool);
    return &g_defaultPool;
}

uint alarm_pool_hardware_alarm_num(alarm_pool_t* pool) {
    checkPool(chip(), pool);
    return kPoolAlarm;
}

uint alarm_pool_core_num(alarm_pool_t* pool) {
    checkPool(chip(), pool);
    return 0;
}

alarm_id_t alarm_pool_add_alarm_at(alarm_pool_t* pool, absolute_time_t time,
                                   alarm_callback_t callback, void* user_data, bool fire_if_past) {
    HostChip& c = chip();
    checkPool(c, pool);
    Runtime& rt = c.sdkRuntime();
    std::uint64_t target = to_us_since_boot(time);
    for (;;) {
        bool missed = false;
        std::uint32_t save = lockPool(c);
        alarm_id_t id = insertUnderLock(rt, target, callback, user_data, 0, false, missed);
        unlockPool(c, save);
        if (!id) {
            done(c);
            return -1;
        }
        if (!missed) {
            done(c);
            return id;
        }
        if (!fire_if_past) {
            done(c);
            return 0;
        }
        // Its time has gone: the callback runs here, and may ask again.
        const std::int64_t repeat = callback(0, user_data);
        if (!repeat) {
            done(c);
            return 0;
        }
        target = repeat < 0 ? target + static_cast<std::uint64_t>(-repeat)
                            : timeUs(c) + static_cast<std::uint64_t>(repeat);
    }
}

bool alarm_pool_cancel_alarm(alarm_pool_t* pool, alarm_id_t alarm_id) {
    HostChip& c = chip();
    checkPool(c, pool);
    Runtime& rt = c.sdkRuntime();
    bool cancelled = false;
    std::uint32_t save = lockPool(c);
    auto it = std::find_if(rt.poolAlarms.begin(), rt.poolAlarms.end(),
                           [&](const PoolAlarm& a) { return a.id == alarm_id; });
    if (alarm_id > 0 && it != rt.poolAlarms.end()) {
        rt.poolAlarms.erase(it);
        cancelled = true;
    } else if (alarm_id > 0 && alarm_id == rt.alarmInProgress) {
        // Cancelled from its own callback: it will not repeat.
        rt.alarmInProgress = 0;
        cancelled = true;
    }
    unlockPool(c, save);
    done(c);
    return cancelled;
}

void sleep_until(absolute_time_t t) {
    HostChip& c = chip();
    if (c.inInterrupt())
        c.failWith("sleep inside an interrupt handler (use a busy-wait there)");
    const std::uint64_t deadline = to_us_since_boot(t);
    std::uint64_t early = deadline - PICO_TIME_SLEEP_OVERHEAD_ADJUST_US;
    if (early > deadline)
        early = 0;
    if (timeUs(c) < early &&
        add_alarm_at(from_us_since_boot(early), &sleepAlarm, nullptr, false) >= 0) {
        while (timeUs(c) < early) {
            std::uint32_t save = c.saveAndDisableInterrupts();
            c.spinLockAcquire(kSleepLock);
            unlockWithWait(c, kSleepLock, save, early);
        }
    }
    busy_wait_until(t);
}

void sleep_us(uint64_t us) {
    sleep_until(make_timeout_time_us(us));
}

void sleep_ms(uint32_t ms) {
    sleep_us(ms * 1000ull);
}

} // extern "C"
