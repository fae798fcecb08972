// Compiled code on the core: integer arithmetic the compiler spreads over
// the whole instruction set (libgcc's division included), a sort, a CRC, a
// string out through the test device. Exit code 0 when every check holds,
// else the number of the first failed check.
#include <stdint.h>

#define DEVICE ((volatile uint32_t*)0x40000000u)

extern uint32_t __stack_top;
void reset(void);

__attribute__((section(".vectors"), used)) static void* const vectors[] = {
    &__stack_top,
    (void*)reset,
};

static void put(const char* s) {
    while (*s) {
        DEVICE[1] = (uint8_t)*s++;
    }
}

static void finish(uint32_t code) {
    DEVICE[0] = code;
    for (;;) {
    }
}

static uint32_t crc32(const char* s) {
    uint32_t crc = 0xFFFFFFFFu;
    while (*s) {
        crc ^= (uint8_t)*s++;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

static uint32_t values[64];
static int16_t halves[8] = {-3, 7, -32768, 32767, 0, -1, 100, -100};

static void sort(uint32_t* v, int n) {
    for (int i = 1; i < n; ++i) {
        uint32_t key = v[i];
        int j = i - 1;
        while (j >= 0 && v[j] > key) {
            v[j + 1] = v[j];
            --j;
        }
        v[j + 1] = key;
    }
}

static char* decimal(char* out, int32_t value) {
    char digits[12];
    int n = 0;
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    do {
        digits[n++] = (char)('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    if (value < 0) {
        *out++ = '-';
    }
    while (n > 0) {
        *out++ = digits[--n];
    }
    *out = 0;
    return out;
}

void reset(void) {
    if (crc32("123456789") != 0xCBF43926u) {
        finish(1);
    }
    uint32_t seed = 12345;
    for (int i = 0; i < 64; ++i) {
        seed = seed * 1103515245u + 12345u;
        values[i] = seed >> 8;
    }
    sort(values, 64);
    for (int i = 1; i < 64; ++i) {
        if (values[i - 1] > values[i]) {
            finish(2);
        }
    }
    volatile int32_t a = -1000000007;
    volatile int32_t b = 97;
    if (a / b != -10309278 || a % b != -41) {
        finish(3);
    }
    volatile uint64_t big = 0x123456789ABCDEF0ull;
    volatile uint32_t d = 1000003u;
    if (big / d != 1311764532170ull) {
        finish(4);
    }
    int32_t sum = 0;
    for (int i = 0; i < 8; ++i) {
        sum += halves[i];
    }
    if (sum != -32768 + 32767 - 3 + 7 - 1) {
        finish(5);
    }
    char text[16];
    decimal(text, a / b);
    put("quotient ");
    put(text);
    put("\n");
    finish(0);
}
