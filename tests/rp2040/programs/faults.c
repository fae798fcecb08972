/* A core that cannot go on. The pins the test drives pick the fault:
   pin 3 high: core 1 loads from an address nothing answers; pin 4 high:
   core 0 moves its stack out of SRAM; neither: core 0 loads from nowhere.
   Each core "runs a task" as the kernel would record it: a control block
   with the name 16 words in, pointed at by pxCurrentTCBs. */
#include "chip.h"

struct task_block {
    uint32_t before_name[16];
    char name[16];
};
struct task_block core0_task = {.name = "Poker"};
struct task_block core1_task = {.name = "Poker1"};
struct task_block* volatile pxCurrentTCBs[2];

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
    pxCurrentTCBs[0] = &core0_task;
    pxCurrentTCBs[1] = &core1_task;
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
