// The start-up that runs before main, and the FreeRTOS port's overrides of
// the SDK's lock wait/notify: with the scheduler running, a task waits on an
// RTOS event group bit chosen by the spin lock number, and a notify from an
// interrupt sets that bit through the timer service task.
#include "sdk/runtime.h"

#include "FreeRTOS.h"
#include "event_groups.h"
#include "task.h"

namespace sim::sdk {

namespace {

EventGroupHandle_t events(HostChip& c) {
    Runtime& rt = c.sdkRuntime();
    if (!rt.syncEvents) {
        rt.syncEvents = xEventGroupCreate();
        if (!rt.syncEvents)
            c.failWith("the RTOS port could not create its event group (heap exhausted)");
    }
    return static_cast<EventGroupHandle_t>(rt.syncEvents);
}

// Lock numbers fold onto the 24 usable bits of an event group.
EventBits_t bitOf(unsigned lock) {
    return EventBits_t{1} << (lock >= 24 ? lock - 24 : lock);
}

bool rtosRunning() {
    return xTaskGetSchedulerState() != taskSCHEDULER_NOT_STARTED;
}

} // namespace

void runtimeInit(HostChip& c) {
    alarm_pool_init_default();
    events(c);
}

void unlockWithWait(HostChip& c, unsigned lock, std::uint32_t save, std::uint64_t untilUs) {
    c.spinLockRelease(lock);
    c.restoreInterrupts(save);
    if (rtosRunning()) {
        xEventGroupWaitBits(events(c), bitOf(lock), pdTRUE, pdFALSE, portMAX_DELAY);
        return;
    }
    // Before the scheduler the core sleeps in WFE until an event; the only
    // one that comes is the alarm's notification at `untilUs`.
    c.busyWaitUntil(c.timer.worldTimeOf(untilUs));
}

void unlockWithNotify(HostChip& c, unsigned lock, std::uint32_t save) {
    c.spinLockRelease(lock);
    c.restoreInterrupts(save);
    if (!rtosRunning())
        return; // the SEV wakes a WFE
    if (c.inInterrupt()) {
        BaseType_t woken = pdFALSE;
        xEventGroupSetBitsFromISR(events(c), bitOf(lock), &woken);
        portYIELD_FROM_ISR(woken);
    } else {
        xEventGroupSetBits(events(c), bitOf(lock));
    }
}

} // namespace sim::sdk

// Images are linked with --wrap=__cxa_atexit: the destructors of their
// static objects are never registered. The chip never runs them (main does
// not return, a reset just starts over), and an image copy unloaded after a
// reset must not run them either, outside any chip.
extern "C" int __wrap___cxa_atexit(void (*)(void*), void*, void*) {
    return 0;
}
