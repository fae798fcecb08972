/* The FIFO interrupt: core 1 sends three words; core 0 takes them in its
   SIO_IRQ_PROC0 handler. Then core 1 writes nine words into the full FIFO
   while core 0 has interrupts off: the ninth is lost and core 1 sees WOF,
   which a write to FIFO_ST clears. Core 0 finally reads the empty FIFO:
   ROE raises its interrupt again. */
#include "chip.h"

volatile uint32_t received[16];
volatile uint32_t received_count;
volatile uint32_t handler_runs;
volatile uint32_t roe_seen;
volatile uint32_t core1_status_full;
volatile uint32_t core1_status_cleared;
volatile uint32_t phase;

void isr_sio_proc0(void) {
    ++handler_runs;
    const uint32_t st = SIO_FIFO_ST;
    if (st & FIFO_ROE)
        ++roe_seen;
    while (SIO_FIFO_ST & FIFO_VLD)
        received[received_count++ & 15] = SIO_FIFO_RD;
    SIO_FIFO_ST = 0xff; /* clears WOF and ROE */
}

static void core1_main(void) {
    for (uint32_t i = 1; i <= 3; ++i)
        fifo_push(0xa0 + i);
    while (phase != 1)
        ;
    for (uint32_t i = 0; i < 9; ++i) {
        SIO_FIFO_WR = 0xb0 + i;
        sev();
    }
    core1_status_full = SIO_FIFO_ST;
    SIO_FIFO_ST = 0;
    core1_status_cleared = SIO_FIFO_ST;
    phase = 2;
    finish();
}

int main(void) {
    launch_core1(core1_main, CORE1_STACK_TOP);
    SIO_FIFO_ST = 0xff;
    NVIC_ICPR = 1u << IRQ_SIO_PROC0;
    NVIC_ISER = 1u << IRQ_SIO_PROC0;
    while (received_count < 3)
        wfi();
    irq_off();
    phase = 1;
    while (phase != 2)
        ;
    irq_on(); /* eight words wait: the handler takes them */
    while (received_count < 11)
        wfi();
    (void)SIO_FIFO_RD; /* empty: ROE */
    finish();
}
