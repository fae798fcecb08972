/* The ROM's float and double tables called as the SDK calls them: the tables
   found through the data lookup ('SF', 'SD'), an entry loaded from the table
   and called with its operands in r0..r3. The host puts a batch of calls in
   `calls`, raises `requested`; each call's r0..r3 and flags come back in
   place, and `served` follows `requested` when the batch is done. */
#include "chip.h"

#define ROM_HALF(a) (*(const volatile uint16_t*)(a))
#define CODE(a, b) ((uint32_t)(a) | (uint32_t)(b) << 8)
#define MAX_CALLS 512
#define DOUBLE_TABLE 0x100u /* in `entry`: the double table, else the float one */

typedef void* (*lookup_fn)(const uint16_t* table, uint32_t code);

struct call {
    uint32_t entry; /* table index, | DOUBLE_TABLE */
    uint32_t in[4];
    uint32_t out[4];
    uint32_t apsr;
};

volatile uint32_t requested, served, count;
struct call calls[MAX_CALLS];
const uint32_t* tables[2];

static const uint32_t* data_lookup(uint32_t code) {
    lookup_fn f = (lookup_fn)(uintptr_t)ROM_HALF(0x18);
    return (const uint32_t*)f((const uint16_t*)(uintptr_t)ROM_HALF(0x16), code);
}

/* r0..r3 from the call, the routine, r0..r3 and the flags back. Doubling
   0x40000000 and then moving 0 leaves N and C clear, Z and V set, so that
   a routine that should set the flags is seen to. */
__attribute__((naked)) static void invoke(struct call* c __attribute__((unused)),
                                          uint32_t fn __attribute__((unused))) {
    __asm volatile(".syntax unified\n"
                   "push {r4, lr}\n"
                   "mov r4, r0\n"
                   "mov ip, r1\n"
                   "movs r0, #1\n"
                   "lsls r0, r0, #30\n"
                   "adds r0, r0, r0\n"
                   "movs r0, #0\n"
                   "ldr r0, [r4, #4]\n"
                   "ldr r1, [r4, #8]\n"
                   "ldr r2, [r4, #12]\n"
                   "ldr r3, [r4, #16]\n"
                   "blx ip\n"
                   "str r0, [r4, #20]\n"
                   "str r1, [r4, #24]\n"
                   "str r2, [r4, #28]\n"
                   "str r3, [r4, #32]\n"
                   "mrs r0, apsr\n"
                   "str r0, [r4, #36]\n"
                   "pop {r4, pc}\n");
}

int main(void) {
    tables[0] = data_lookup(CODE('S', 'F'));
    tables[1] = data_lookup(CODE('S', 'D'));
    for (;;) {
        while (requested == served)
            ;
        for (uint32_t i = 0; i < count && i < MAX_CALLS; ++i) {
            struct call* c = &calls[i];
            const uint32_t* table = tables[(c->entry & DOUBLE_TABLE) ? 1 : 0];
            invoke(c, table[c->entry & 0xff]);
        }
        served = requested;
    }
}
