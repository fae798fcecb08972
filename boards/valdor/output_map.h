// valdor's twelve digital outputs: output channel i (bit i of the output
// word in 0x50/0x51) drives GPIO 11 - i; bits 12..15 drive nothing.
#ifndef BOARDS_VALDOR_OUTPUT_MAP_H
#define BOARDS_VALDOR_OUTPUT_MAP_H

#include <cstdint>

constexpr uint8_t REG_DOUT_0 = 0x50;
constexpr uint32_t DOUT_COUNT = 12;

// Pin image (bit n = GPIO n) of an output word.
constexpr uint32_t valdorOutputImage(uint16_t word) {
    uint32_t image = 0;
    for (uint32_t i = 0; i < DOUT_COUNT; ++i) {
        if ((word & (1u << i)) != 0) {
            image |= 1u << (DOUT_COUNT - 1 - i);
        }
    }
    return image;
}

#endif
