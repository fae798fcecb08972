// brennic's first task: owns the board object and prints the first three
// thermocouple channels every 2000 ticks.
#include <cstdint>
#include <cstdio>

#include "FreeRTOS.h"
#include "app/main_task.h"
#include "board/board_task.h"
#include "task.h"
#include "twi/regs_lock.h"

namespace {
constexpr uint8_t REG_THERMO1_LO = 0x80;
constexpr uint8_t REG_THERMO2_LO = 0x82;
constexpr uint8_t REG_THERMO3_LO = 0x84;
} // namespace

void mainTask(void*) {
    // Ready before the board object creates any task or handler that takes it.
    critical_section_init(&critSecRegs);
    // Lives in this frame, which never returns, for the life of the firmware.
    BoardTask board;
    for (;;) {
        vTaskDelay(2000);
        // One holding of the lock per channel: each value is one whole reading.
        const unsigned t1 = regsRead16(REG_THERMO1_LO);
        const unsigned t2 = regsRead16(REG_THERMO2_LO);
        const unsigned t3 = regsRead16(REG_THERMO3_LO);
        printf("temp1: %u, temp2: %u, temp3: %u\n", t1, t2, t3);
    }
}
