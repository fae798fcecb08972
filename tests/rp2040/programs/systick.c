/* SysTick every 1250 cycles (10 us at 125 MHz). Pin 3 low: core 0 sleeps
   in WFI between ticks; high: it spins, reading the count. */
#include "chip.h"

volatile uint32_t ticks;

void isr_systick(void) {
    ++ticks;
}

int main(void) {
    SYST_RVR = 1250 - 1;
    SYST_CVR = 0;
    SYST_CSR = 7; /* processor clock, interrupt, enable */
    if (SIO_GPIO_IN & (1u << 3)) {
        for (;;)
            (void)ticks;
    }
    finish();
}
