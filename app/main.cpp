// Start-up of every image: one task, then the scheduler. The board itself
// arrives with the firmware core.
#include <cstdio>

#include "FreeRTOS.h"
#include "task.h"

namespace {

void mainTask(void*) {
    for (;;) {
        vTaskDelay(2000);
    }
}

} // namespace

int main() {
    xTaskCreateAffinitySet(mainTask, "MainTask", 256, nullptr, 1, 0x1, nullptr);
    vTaskStartScheduler();
    return 0;
}
