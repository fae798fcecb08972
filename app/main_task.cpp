#include "app/main_task.h"

#include "FreeRTOS.h"
#include "board/board_task.h"
#include "task.h"
#include "twi/regs_lock.h"

void mainTask(void*) {
    // Ready before the board object creates any task or handler that takes it.
    critical_section_init(&critSecRegs);
    // Lives in this frame, which never returns, for the life of the firmware.
    BoardTask board;
    for (;;) {
        vTaskDelay(2000);
    }
}
