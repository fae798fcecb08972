// The converter variants the DAC driver knows and the 16-bit command word
// they take in one SPI frame. Pure logic, no hardware.
#ifndef BOARDS_VALDOR_DAC_WORD_H
#define BOARDS_VALDOR_DAC_WORD_H

#include <cstdint>

struct DacVariant {
    uint8_t channels;
    uint8_t resolution; // bits
    uint16_t maxValue;
    uint8_t dataShift; // the value sits left-aligned in bits 11..0
};

// Variant by type number 0..5 (single 8/10/12 bit, dual 8/10/12 bit). Any
// other number gives a converter with no channels: nothing can be sent to it.
constexpr DacVariant dacVariant(uint8_t type) {
    switch (type) {
    case 0:
        return {1, 8, 255, 4};
    case 1:
        return {1, 10, 1023, 2};
    case 2:
        return {1, 12, 4095, 0};
    case 3:
        return {2, 8, 255, 4};
    case 4:
        return {2, 10, 1023, 2};
    case 5:
        return {2, 12, 4095, 0};
    default:
        return {0, 0, 0, 0};
    }
}

// Bit 15 channel, 14 buffered reference, 13 gain 1, 12 output active,
// 11..0 the value shifted into place.
constexpr uint16_t dacCommandWord(uint8_t channel, uint8_t buffer, uint8_t gain, uint8_t active,
                                  uint16_t value, uint8_t dataShift) {
    return static_cast<uint16_t>(((channel & 1u) << 15) | ((buffer & 1u) << 14) |
                                 ((gain & 1u) << 13) | ((active & 1u) << 12) |
                                 ((static_cast<uint32_t>(value) << dataShift) & 0x0FFFu));
}

#endif
