// The SDK's own static data, one set per simulated chip. On silicon it sits
// in the image's RAM, so a reset brings it back to its initial values; here
// the chip resets it with its peripherals.
#pragma once

#include "sdk/host_chip.h"

#include "hardware/gpio.h"
#include "hardware/irq.h"
#include "hardware/sync.h"
#include "hardware/timer.h"
#include "pico/time.h"

#include <array>
#include <cstdint>
#include <vector>

namespace sim::sdk {

struct SharedIrqHandler {
    irq_handler_t handler;
    std::uint8_t order;
};

struct PoolAlarm {
    alarm_id_t id;
    std::uint64_t target; // us since boot
    alarm_callback_t callback;
    void* userData;
};

struct Runtime {
    // hardware_gpio: the callback of each core
    std::array<gpio_irq_callback_t, 2> gpioCallbacks{};
    // hardware_irq: shared handlers per interrupt, highest order first
    std::array<std::vector<SharedIrqHandler>, 32> sharedHandlers{};
    // hardware_timer
    std::array<hardware_alarm_callback_t, 4> alarmCallbacks{};
    std::array<std::uint64_t, 4> alarmTargets{};
    std::uint8_t alarmCallbacksPending = 0;
    std::uint8_t alarmsClaimed = 0;
    // hardware_sync
    std::uint32_t spinLocksClaimed = 0;
    unsigned nextStripedSpinLock = PICO_SPINLOCK_ID_STRIPED_FIRST;
    // hardware_watchdog: the value watchdog_update loads
    std::uint32_t watchdogLoad = 0;
    // pico_time: the default alarm pool, by target time
    bool defaultPoolReady = false;
    std::vector<PoolAlarm> poolAlarms;
    alarm_id_t nextAlarmId = 1;
    alarm_id_t alarmInProgress = 0;
    // pico_stdio: standard output goes to UART0 once its driver is set up;
    // whether the last character sent was a CR (no second one before LF).
    bool stdioUart = false;
    bool stdioEndedWithCr = false;
    // The RTOS port's event group behind the SDK's wait and notify.
    void* syncEvents = nullptr;
};

inline HostChip& chip() {
    return HostChip::current();
}
inline Runtime& runtime() {
    return HostChip::current().sdkRuntime();
}

// The timer's count, as time_us_64 reads it (TIMERAWH, TIMERAWL, TIMERAWH
// again until the high word holds still).
inline std::uint64_t timeUs(HostChip& c) {
    std::uint32_t hi = c.timer.read(Timer::kTimeRawH);
    for (;;) {
        const std::uint32_t lo = c.timer.read(Timer::kTimeRawL);
        const std::uint32_t next = c.timer.read(Timer::kTimeRawH);
        if (next == hi)
            return std::uint64_t{hi} << 32 | lo;
        hi = next;
    }
}

// The end of every SDK call: a point where the calling task may be preempted.
inline void done(HostChip& c) {
    c.preemptionPoint();
}

// What the SDK's runtime (and the RTOS port's constructor) do on core 0
// before main: the default alarm pool and the port's event group.
void runtimeInit(HostChip& chip);

// The port's side of the SDK's lock wait and notify, for the spin lock
// `lock` held with interrupts saved in `save`.
void unlockWithWait(HostChip& chip, unsigned lock, std::uint32_t save, std::uint64_t untilUs);
void unlockWithNotify(HostChip& chip, unsigned lock, std::uint32_t save);

} // namespace sim::sdk
