/* The SIO divider of each core: a table of divisions, unsigned and signed,
   by zero among them; quotient and remainder as read back, and the CSR
   before and after the quotient is read. Core 1 does the same table. */
#include "chip.h"

struct division {
    uint32_t dividend, divisor, is_signed;
};

const struct division divisions[] = {
    {100, 7, 0},          {7, 100, 0},           {0xffffffff, 1, 0},   {0xffffffff, 0x10000, 0},
    {123, 0, 0},          {0, 0, 0},             {100, 7, 1},          {(uint32_t)-100, 7, 1},
    {100, (uint32_t)-7, 1}, {(uint32_t)-100, (uint32_t)-7, 1}, {0x80000000, (uint32_t)-1, 1},
    {55, 0, 1},           {(uint32_t)-55, 0, 1}, {0, 0, 1},
};
#define COUNT (sizeof divisions / sizeof divisions[0])

struct outcome {
    uint32_t quotient, remainder, csr_before, csr_after;
};
volatile struct outcome results[2][COUNT];
volatile uint32_t finished[2];

static void run(int core) {
    for (unsigned i = 0; i < COUNT; ++i) {
        const struct division* d = &divisions[i];
        if (d->is_signed) {
            SIO_DIV_SDIVIDEND = d->dividend;
            SIO_DIV_SDIVISOR = d->divisor;
        } else {
            SIO_DIV_UDIVIDEND = d->dividend;
            SIO_DIV_UDIVISOR = d->divisor;
        }
        /* The eight cycles the result takes on silicon. */
        __asm volatile("b 1f\n1: b 1f\n1: b 1f\n1: b 1f\n1:");
        results[core][i].csr_before = SIO_DIV_CSR;
        results[core][i].remainder = SIO_DIV_REMAINDER;
        results[core][i].quotient = SIO_DIV_QUOTIENT;
        results[core][i].csr_after = SIO_DIV_CSR;
    }
    finished[core] = 1;
}

static void core1_main(void) {
    run(1);
    finish();
}

int main(void) {
    run(0);
    launch_core1(core1_main, CORE1_STACK_TOP);
    finish();
}
