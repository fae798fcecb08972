/* The boot ROM as the SDK finds it: the magic and version, the lookup
   routine from the 16-bit pointer at 0x18, functions and data by code. */
#include "chip.h"

typedef void* (*lookup_fn)(const uint16_t* table, uint32_t code);
typedef uint32_t (*bits_fn)(uint32_t);
typedef void* (*memset_fn)(void* p, uint8_t c, uint32_t n);
typedef void* (*memcpy_fn)(void* d, const void* s, uint32_t n);

#define ROM_HALF(a) (*(const volatile uint16_t*)(a))
#define CODE(a, b) ((uint32_t)(a) | (uint32_t)(b) << 8)

static void* lookup(uint32_t table_at, uint32_t code) {
    lookup_fn f = (lookup_fn)(uintptr_t)ROM_HALF(0x18);
    return f((const uint16_t*)(uintptr_t)ROM_HALF(table_at), code);
}

volatile uint32_t magic;
volatile uint32_t bits[8];
volatile uint32_t missing;
volatile uint32_t float_table;
volatile uint32_t float_table_words;
volatile uint8_t buffer[32];
volatile uint32_t words[8];
volatile uint32_t returned[4];
const uint8_t source[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

int main(void) {
    magic = *(const volatile uint32_t*)0x10;
    bits_fn popcount = (bits_fn)lookup(0x14, CODE('P', '3'));
    bits_fn reverse = (bits_fn)lookup(0x14, CODE('R', '3'));
    bits_fn clz = (bits_fn)lookup(0x14, CODE('L', '3'));
    bits_fn ctz = (bits_fn)lookup(0x14, CODE('T', '3'));
    bits[0] = popcount(0xf00f0001);
    bits[1] = reverse(0x00000003);
    bits[2] = clz(0x00010000);
    bits[3] = clz(0);
    bits[4] = ctz(0x00000100);
    bits[5] = ctz(0);
    missing = (uint32_t)lookup(0x14, CODE('Z', 'Z'));

    memset_fn set = (memset_fn)lookup(0x14, CODE('M', 'S'));
    memset_fn set4 = (memset_fn)lookup(0x14, CODE('S', '4'));
    memcpy_fn copy = (memcpy_fn)lookup(0x14, CODE('M', 'C'));
    memcpy_fn copy44 = (memcpy_fn)lookup(0x14, CODE('C', '4'));
    returned[0] = (uint32_t)set((void*)&buffer[1], 0x5a, 5);
    returned[1] = (uint32_t)copy((void*)&buffer[10], source, 7);
    returned[2] = (uint32_t)set4((void*)&words[0], 0x3c, 8);
    returned[3] = (uint32_t)copy44((void*)&words[4], source, 12);

    float_table = (uint32_t)lookup(0x16, CODE('S', 'F'));
    float_table_words = *(const volatile uint8_t*)(float_table - 2);
    finish();
}
