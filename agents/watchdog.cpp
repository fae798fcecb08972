#include "agents/watchdog.h"

#include "FreeRTOS.h"
#include "agents/creation_check.h"
#include "hardware/watchdog.h"
#include "pico/stdlib.h"
#include "task.h"

#include <cstdint>

namespace {

constexpr uint32_t WATCHDOG_TIMEOUT_MS = 50;
// Well inside the timeout, leaving room for the wake-up delays on both cores.
constexpr uint32_t HEARTBEAT_PERIOD_MS = 26;
constexpr uint32_t WATCHDOG_STACK_WORDS = 256;
constexpr UBaseType_t WATCHDOG_PRIORITY = 2;

} // namespace

// Written once by initWatchdog before the scheduler starts, read-only after.
static TaskHandle_t _task0 = nullptr;

// Core 0: the only code that touches the watchdog hardware. It feeds only
// when core 1 has sent a heartbeat, so a stall on either core stops the feed.
static void _watchdog0(void*) {
    // Paused while a debugger halts the cores, so a breakpoint is no reset.
    watchdog_enable(WATCHDOG_TIMEOUT_MS, true);
    for (;;) {
        // Only the pending state counts; beats sent meanwhile collapse into one.
        if (xTaskGenericNotifyWait(0, 0, 0, nullptr, portMAX_DELAY) == pdTRUE) {
            watchdog_update();
        }
    }
}

// Core 1: the heartbeat. sleep_ms wakes through the alarm interrupt and the
// timer service task, so either of them stopping stops the beat as well.
static void _watchdog1(void*) {
    for (;;) {
        xTaskGenericNotify(_task0, 0, 0, eNoAction, nullptr);
        sleep_ms(HEARTBEAT_PERIOD_MS);
    }
}

// Either task missing would leave the board unsupervised without anyone
// knowing (no "Watchdog-0": never armed, and the beats go to a null handle;
// no "Watchdog-1": a reset 50 ms into every start with no visible cause), so
// a failed creation resets the chip at once, before any board code runs.
// They are created first, on an almost empty heap: a failure that repeats on
// every start is a build that does not fit its RAM, and the board then stays
// in reset and never answers on the bus, which the host sees as an empty slot.
void initWatchdog() {
    requireCreated(xTaskCreateAffinitySet(_watchdog0, "Watchdog-0", WATCHDOG_STACK_WORDS, nullptr,
                                          WATCHDOG_PRIORITY, 0x1, &_task0) == pdPASS);
    requireCreated(xTaskCreateAffinitySet(_watchdog1, "Watchdog-1", WATCHDOG_STACK_WORDS, nullptr,
                                          WATCHDOG_PRIORITY, 0x2, nullptr) == pdPASS);
}
