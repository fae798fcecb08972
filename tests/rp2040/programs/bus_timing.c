/* What one load or store costs on each kind of slave: 16 of them in a row
   between two SysTick reads, less the same two reads with nothing between.
   cycles[i] holds that difference for case i, in the order of `cases`. */
#include "chip.h"

#define REP16(x) x x x x x x x x x x x x x x x x

/* Both SysTick reads run the same instruction, so the difference is the
   cycles of what stands between them. */
#define TIMED(name, insn)                                                                          \
    static uint32_t name(volatile uint32_t* at) {                                                  \
        uint32_t before, after, value = 0;                                                         \
        __asm volatile("ldr %[b], [%[cvr]]\n" REP16(insn "\n") "ldr %[a], [%[cvr]]\n"              \
                       : [b] "=&l"(before), [a] "=&l"(after), [v] "+l"(value)                      \
                       : [cvr] "l"(&SYST_CVR), [p] "l"(at)                                         \
                       : "memory");                                                                \
        return (before - after) & 0xffffffu;                                                       \
    }

TIMED(nothing, "")
TIMED(loads, "ldr %[v], [%[p]]")
TIMED(stores, "str %[v], [%[p]]")

static volatile uint32_t in_sram;
static const uint32_t in_flash = 7;

struct timed_case {
    uint32_t address;
    int store;
};

/* Stores write 0: no register below changes. */
static const struct timed_case cases[] = {
    {(uint32_t)&in_sram, 0},                        /* SRAM */
    {(uint32_t)&in_sram, 1},                        /* SRAM */
    {0x00000010u, 0},                               /* ROM */
    {(uint32_t)&in_flash, 0},                       /* flash through XIP */
    {0x14000000u, 0},                               /* XIP_CTRL */
    {SIO_BASE + 0x00, 0},                           /* SIO CPUID */
    {SIO_BASE + 0x18, 1},                           /* SIO GPIO_OUT_CLR */
    {0x4005800cu, 0},                               /* WATCHDOG_SCRATCH0 */
    {0x4005800cu, 1},                               /* WATCHDOG_SCRATCH0 */
    {TIMER_BASE + 0x38 + ALIAS_SET, 1},             /* TIMER INTE, set alias */
    {UART0_BASE + UART_IMSC_OFFSET, 1},             /* UART0 IMSC */
    {UART0_BASE + UART_IMSC_OFFSET + ALIAS_SET, 1}, /* UART0 IMSC, set alias */
    {UART0_BASE + UART_IMSC_OFFSET + ALIAS_CLR, 1}, /* UART0 IMSC, clear alias */
};
#define CASES (sizeof cases / sizeof cases[0])

volatile uint32_t cycles[CASES];
volatile uint32_t done;

int main(void) {
    SYST_RVR = 0xffffff;
    SYST_CVR = 0;
    SYST_CSR = 5; /* processor clock, enable, no interrupt */
    const uint32_t framing = nothing(0);
    for (unsigned i = 0; i < CASES; ++i) {
        volatile uint32_t* at = (volatile uint32_t*)cases[i].address;
        cycles[i] = (cases[i].store ? stores(at) : loads(at)) - framing;
    }
    done = 1;
    finish();
}
