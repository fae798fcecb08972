/* Both cores add to two counters ROUNDS times each: one under spin lock 7,
   then, having met at a barrier, one without a lock. The locked one must end
   at exactly 2 * ROUNDS. Core 1 is launched over the FIFO and reports what
   it sees of itself. */
#include "chip.h"

#define ROUNDS 2000

volatile uint32_t locked_count;
volatile uint32_t unlocked_count;
volatile uint32_t core1_cpuid = 0xffffffff;
volatile uint32_t core1_vtor;
volatile uint32_t core1_sp;
volatile uint32_t core1_done_word;
volatile uint32_t lock_state_after;
volatile uint32_t done;
volatile uint32_t at_barrier[2];

static void add_rounds(int core) {
    for (int i = 0; i < ROUNDS; ++i) {
        while (SIO_SPINLOCK(7) == 0)
            ;
        const uint32_t v = locked_count;
        __asm volatile("nop\n nop\n nop");
        locked_count = v + 1;
        SIO_SPINLOCK(7) = 1;
    }
    at_barrier[core] = 1;
    while (!at_barrier[1 - core])
        ;
    for (int i = 0; i < ROUNDS; ++i) {
        const uint32_t v = unlocked_count;
        __asm volatile("nop\n nop\n nop");
        unlocked_count = v + 1;
    }
}

static void core1_main(void) {
    uint32_t sp;
    __asm volatile("mov %0, sp" : "=r"(sp));
    core1_cpuid = SIO_CPUID;
    core1_vtor = SCB_VTOR;
    core1_sp = sp;
    add_rounds(1);
    fifo_push(0xc0de0001);
    finish();
}

int main(void) {
    launch_core1(core1_main, CORE1_STACK_TOP);
    add_rounds(0);
    core1_done_word = fifo_pop();
    lock_state_after = SIO_SPINLOCK_ST;
    done = 1;
    finish();
}
