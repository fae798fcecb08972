// Start-up of every image: the watchdog tasks, MainTask, then the scheduler, which starts core 1.
#include "FreeRTOS.h"
#include "agents/creation_check.h"
#include "agents/watchdog.h"
#include "app/main_task.h"
#include "pico/stdlib.h"
#include "task.h"

int main() {
    // valdor and quillet enable no output driver: messages are formatted and
    // dropped. brennic's build adds its UART console for the test line.
    stdio_init_all();

    // The watchdog tasks come first, so that "Watchdog-0" arms the hardware
    // before any board code runs.
    initWatchdog();

    requireCreated(xTaskCreateAffinitySet(mainTask, "MainTask", 256, nullptr, 1, 0x1, nullptr) ==
                   pdPASS);
    vTaskStartScheduler();
    // Only reached when the scheduler could not create its own idle and
    // timer tasks: the watchdog is not armed yet, so returning would leave a
    // dead board that nobody resets. Reset and try again instead.
    requireCreated(false);
    return 0;
}
