/* Both cores load from SRAM as fast as an LDM lets them, each timing every
   turn of its loop with its own SysTick. Round 0: both on SRAM4. Round 1:
   core 1 on the striped banks, core 0 still on SRAM4. Round 2: core 0 alone.
   Core 0 keeps its samples in SRAM5 and core 1 in the striped banks, where
   the other core's loads do not go; neither touches its stack in the loop. */
#include "chip.h"

#define TURNS 100
#define ROUNDS 3
#define SRAM4 ((uint32_t*)0x20040000u)
#define SRAM5 ((uint32_t*)0x20041000u)

/* One turn: SysTick read and stored, then 20 loads from `from` (four LDMs of
   five words), until `samples` reaches `end`. */
void hammer(const uint32_t* from, uint32_t* samples, uint32_t* end);
__asm(".syntax unified\n"
      ".text\n"
      ".balign 4\n"
      ".thumb_func\n"
      "hammer:\n"
      "push {r4-r7}\n"
      "mov r12, r8\n"
      "mov r8, r2\n"
      "ldr r3, =0xe000e018\n"
      "1:\n"
      "ldr r2, [r3]\n"
      "str r2, [r1]\n"
      "adds r1, #4\n"
      "ldm r0!, {r2, r4-r7}\n"
      "ldm r0!, {r2, r4-r7}\n"
      "ldm r0!, {r2, r4-r7}\n"
      "ldm r0!, {r2, r4-r7}\n"
      "subs r0, #80\n"
      "cmp r1, r8\n"
      "bne 1b\n"
      "mov r8, r12\n"
      "pop {r4-r7}\n"
      "bx lr\n"
      ".ltorg\n");

static uint32_t striped[32];
uint32_t core1_samples[ROUNDS - 1][TURNS];
#define CORE0_SAMPLES ((uint32_t(*)[TURNS])SRAM5)
volatile uint32_t done;

static void start_systick(void) {
    SYST_RVR = 0xffffff;
    SYST_CVR = 0;
    SYST_CSR = 5;
}

static void core1_main(void) {
    start_systick();
    for (;;) {
        const uint32_t round = fifo_pop();
        hammer(round == 0 ? SRAM4 : striped, core1_samples[round], core1_samples[round] + TURNS);
        fifo_push(round);
    }
}

int main(void) {
    start_systick();
    launch_core1(core1_main, CORE1_STACK_TOP);
    for (uint32_t round = 0; round < ROUNDS; ++round) {
        if (round < ROUNDS - 1)
            fifo_push(round);
        hammer(SRAM4, CORE0_SAMPLES[round], CORE0_SAMPLES[round] + TURNS);
        if (round < ROUNDS - 1)
            (void)fifo_pop();
    }
    done = 1;
    finish();
}
