/* The first boot asks for a system reset through AIRCR; the second stays. */
#include "chip.h"

__attribute__((section(".noinit"))) volatile uint32_t boots;

int main(void) {
    if (++boots == 1) {
        SCB_AIRCR = 0x05fa0004; /* VECTKEY, SYSRESETREQ */
        for (;;)
            ;
    }
    finish();
}
