/* Both cores spin in loops named as the kernel's idle tasks, each with its
   own SysTick: core 0 every 997 cycles toggles pin 6, core 1 every 1301
   cycles toggles pin 7. The loops mix one- and two-cycle instructions, so
   an interrupt's latency depends on where in the loop it arrives. */
#include "chip.h"

volatile uint32_t idle_flag;

static void start_systick(uint32_t cycles) {
    SYST_RVR = cycles - 1;
    SYST_CVR = 0;
    SYST_CSR = 7;
}

void isr_systick(void) {
    REG(SIO_BASE + 0x1c) = 1u << (6 + SIO_CPUID); /* GPIO_OUT_XOR */
}

__attribute__((noinline, noreturn)) void prvIdleTask(void) {
    for (;;) {
        if (idle_flag)
            idle_flag = 0;
        __asm volatile("nop");
    }
}

__attribute__((noinline, noreturn)) void prvPassiveIdleTask(void) {
    for (;;) {
        __asm volatile("nop\n nop");
        if (idle_flag > 5)
            idle_flag = 1;
    }
}

static void core1_main(void) {
    start_systick(1301);
    prvPassiveIdleTask();
}

int main(void) {
    for (unsigned pin = 6; pin <= 7; ++pin)
        IO_GPIO_CTRL(pin) = FUNC_SIO;
    SIO_GPIO_OE_SET = 3u << 6;
    launch_core1(core1_main, CORE1_STACK_TOP);
    start_systick(997);
    prvIdleTask();
}
