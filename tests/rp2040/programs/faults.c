/* A core that cannot go on. The pins the test drives pick the fault:
   pin 3 high: core 1 loads from an address nothing answers; pin 4 high:
   core 0 moves its stack out of SRAM; neither: core 0 loads from nowhere. */
#include "chip.h"

volatile uint32_t sink;

__attribute__((noinline)) void poke_unmapped(void) {
    sink = REG(0x30000000u);
}

__attribute__((noinline)) void leave_sram(void) {
    __asm volatile("ldr r0, =0x30000000\n msr msp, r0\n nop" ::: "r0", "memory");
}

static void core1_main(void) {
    poke_unmapped();
    finish();
}

int main(void) {
    const uint32_t pins = SIO_GPIO_IN;
    if (pins & (1u << 3)) {
        launch_core1(core1_main, CORE1_STACK_TOP);
        finish();
    }
    if (pins & (1u << 4))
        leave_sram();
    poke_unmapped();
    finish();
}
