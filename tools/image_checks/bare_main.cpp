// The bare image the image checks measure the boards against: the same SDK,
// kernel and RTOS configuration, and a scheduler with nothing to run but its
// own timer service and idle tasks.
#include "FreeRTOS.h"
#include "task.h"

int main() {
    vTaskStartScheduler();
    return 0;
}
