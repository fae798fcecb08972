/* Core 1 launched, then held in reset through the power-on state machine
   and launched again with another entry, as FreeRTOS's port does it. */
#include "chip.h"

#define PSM_FRCE_OFF REG(0x40010004u)
#define PSM_PROC1 (1u << 16)

volatile uint32_t first_runs;
volatile uint32_t second_runs;
volatile uint32_t first_spins;
volatile uint32_t held_read_back;

static void first(void) {
    ++first_runs;
    for (;;)
        ++first_spins;
}

static void second(void) {
    ++second_runs;
    finish();
}

int main(void) {
    launch_core1(first, CORE1_STACK_TOP);
    while (first_spins < 100)
        ;
    PSM_FRCE_OFF = PSM_PROC1;
    held_read_back = PSM_FRCE_OFF;
    const uint32_t spins = first_spins;
    for (int i = 0; i < 100; ++i)
        __asm volatile("nop");
    first_spins = first_spins - spins; /* 0 while core 1 is held */
    PSM_FRCE_OFF = 0;
    launch_core1(second, CORE1_STACK_TOP);
    finish();
}
