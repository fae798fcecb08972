// Start-up of every image: MainTask, then the scheduler, which starts core 1.
#include "FreeRTOS.h"
#include "agents/creation_check.h"
#include "app/main_task.h"
#include "pico/stdlib.h"
#include "task.h"

int main() {
    stdio_init_all(); // no output driver is enabled: messages are formatted and dropped

    // Watchdog supervision starts here, before MainTask.

    requireCreated(xTaskCreateAffinitySet(mainTask, "MainTask", 256, nullptr, 1, 0x1, nullptr) ==
                   pdPASS);
    vTaskStartScheduler();
    return 0;
}
