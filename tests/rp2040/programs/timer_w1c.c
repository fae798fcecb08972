/* Timer alarm 0 fires; its handler clears INTR bit 0 through one way of
   writing the register per round: the plain register, the clear alias, the
   XOR alias, the set alias. A flag that stays set raises the interrupt again
   at once; the handler gives up (disables it) on its fifth entry.
   Then the aliases on flags that are not set, and on ARMED. */
#include "chip.h"

#define INTR_AT(alias) REG(TIMER_BASE + TIMER_INTR_OFFSET + (alias))
#define ARMED_AT(alias) REG(TIMER_BASE + TIMER_ARMED_OFFSET + (alias))
#define GIVE_UP 5

static const uint32_t ways[] = {0, ALIAS_CLR, ALIAS_XOR, ALIAS_SET};
#define WAYS (sizeof ways / sizeof ways[0])

volatile uint32_t way;
volatile uint32_t entries[WAYS];
volatile uint32_t intr_after[WAYS]; /* INTR right after the handler's write */
volatile uint32_t untouched[3];     /* INTR after XOR and set with bit 1, ARMED after set */
volatile uint32_t armed_after_clear;
volatile uint32_t done;

void isr_timer0(void) {
    INTR_AT(ways[way]) = 1u;
    intr_after[way] = INTR_AT(0);
    if (++entries[way] == GIVE_UP)
        REG(TIMER_BASE + 0x38 + ALIAS_CLR) = 1u; /* INTE bit 0 off */
}

int main(void) {
    NVIC_ISER = 1u << IRQ_TIMER0;
    for (way = 0; way < WAYS; ++way) {
        TIMER_INTE = 1u;
        TIMER_ALARM(0) = TIMER_TIMERAWL + 10;
        const uint32_t start = TIMER_TIMERAWL;
        while (TIMER_TIMERAWL - start < 50)
            ;
    }
    TIMER_INTE = 0;
    INTR_AT(0) = 0xf; /* the set-alias round left bit 0 */

    /* Alarm 1 has not fired: its flag can be neither set nor toggled on. */
    INTR_AT(ALIAS_XOR) = 2u;
    untouched[0] = INTR_AT(0);
    INTR_AT(ALIAS_SET) = 2u;
    untouched[1] = INTR_AT(0);
    /* ARMED: the set alias disarms nothing, the clear alias disarms. */
    TIMER_ALARM(1) = TIMER_TIMERAWL + 100000;
    TIMER_ALARM(2) = TIMER_TIMERAWL + 100000;
    ARMED_AT(ALIAS_SET) = 1u;
    untouched[2] = ARMED_AT(0);
    ARMED_AT(ALIAS_CLR) = 2u;
    armed_after_clear = ARMED_AT(0);
    done = 1;
    finish();
}
