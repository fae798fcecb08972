// The counter race: `seen = events; <SDK call>; events = seen + 1` in a
// task, and `events += 1` in an alarm interrupt on the same core. The
// interrupt can only land inside the task's update when the call in between
// takes time, which the plain schedule never gives it.
#include "fixtures.h"

#include "FreeRTOS.h"
#include "pico/stdlib.h"
#include "task.h"

namespace {

constexpr std::uint32_t kTaskRounds = 2000;
constexpr std::int64_t kAlarmPeriodUs = 7;
constexpr uint kLedPin = 25;

volatile std::uint32_t g_events;
volatile std::uint32_t g_byTask;
volatile std::uint32_t g_byInterrupt;
volatile bool g_finished;

int64_t onAlarm(alarm_id_t, void*) {
    g_events = g_events + 1;
    g_byInterrupt = g_byInterrupt + 1;
    // A negative value repeats the alarm that long after its last target.
    return g_finished ? 0 : -kAlarmPeriodUs;
}

void counterTask(void*) {
    for (std::uint32_t i = 0; i < kTaskRounds; ++i) {
        const std::uint32_t seen = g_events;
        gpio_put(kLedPin, (seen & 1u) != 0);
        g_events = seen + 1;
        g_byTask = g_byTask + 1;
        busy_wait_us(3);
    }
    g_finished = true;
    for (;;)
        vTaskDelay(portMAX_DELAY);
}

} // namespace

int counterFixtureMain() {
    g_events = 0;
    g_byTask = 0;
    g_byInterrupt = 0;
    g_finished = false;
    gpio_init(kLedPin);
    gpio_set_dir(kLedPin, GPIO_OUT);
    xTaskCreateAffinitySet(counterTask, "Counter", 256, nullptr, 1, 0x1, nullptr);
    // The default alarm pool's interrupt runs on core 0, where the task is.
    add_alarm_in_us(kAlarmPeriodUs, onAlarm, nullptr, true);
    vTaskStartScheduler();
    return 0;
}

CounterResult counterFixtureResult() {
    return {g_events, g_byTask, g_byInterrupt, g_finished};
}
