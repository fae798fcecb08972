/* Both cores compute for good, each over its own words: multiply, xor, add,
   load, store and a branch, and no peripheral. The simulator's speed with
   two cores executing (chip_bench.cpp) is measured on it. */
#include "chip.h"

#define WORDS 64

volatile uint32_t hashes[2];
static uint32_t words[2][WORDS];

static void __attribute__((noreturn)) compute(unsigned core) {
    uint32_t h = 2166136261u + core;
    for (;;) {
        for (unsigned i = 0; i < WORDS; ++i) {
            h = (h ^ words[core][i]) * 16777619u;
            words[core][i] = h + i;
        }
        hashes[core] = h;
    }
}

static void core1_main(void) {
    compute(1);
}

int main(void) {
    launch_core1(core1_main, CORE1_STACK_TOP);
    compute(0);
}
