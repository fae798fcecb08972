/* The watchdog's boot path. The first boot leaves a boot address in the
   watchdog's scratch registers and has the watchdog reset the chip; the ROM
   jumps there with the given stack, and when that code returns, boots the
   flash image as usual. Pin 3 high spoils the check word: the ROM ignores
   the address. The counts live in memory the start-up code leaves alone. */
#include "chip.h"

#define BOOT_MAGIC 0xb007c0d3u
#define DIRECT_STACK 0x20041000u

__attribute__((section(".noinit"))) volatile uint32_t normal_boots;
__attribute__((section(".noinit"))) volatile uint32_t direct_boots;
__attribute__((section(".noinit"))) volatile uint32_t direct_sp;
__attribute__((section(".noinit"))) volatile uint32_t direct_lr;
__attribute__((section(".noinit"))) volatile uint32_t direct_vtor;
__attribute__((section(".noinit"))) volatile uint32_t direct_magic;

void direct_body(uint32_t sp, uint32_t lr) {
    ++direct_boots;
    direct_sp = sp;
    direct_lr = lr;
    direct_vtor = SCB_VTOR;
    direct_magic = WATCHDOG_SCRATCH(4);
}

__attribute__((naked)) void direct_entry(void) {
    __asm volatile("mov r0, sp\n"
                   "mov r1, lr\n"
                   "push {r1, lr}\n"
                   "bl direct_body\n"
                   "pop {r1, pc}\n");
}

int main(void) {
    if (++normal_boots == 1) {
        const uint32_t entry = (uint32_t)direct_entry;
        const uint32_t spoil = (SIO_GPIO_IN & (1u << 3)) ? 1 : 0;
        WATCHDOG_SCRATCH(4) = BOOT_MAGIC;
        WATCHDOG_SCRATCH(5) = (entry ^ (0u - BOOT_MAGIC)) + spoil;
        WATCHDOG_SCRATCH(6) = DIRECT_STACK;
        WATCHDOG_SCRATCH(7) = entry;
        WATCHDOG_CTRL = WATCHDOG_TRIGGER;
        for (;;)
            ;
    }
    finish();
}
