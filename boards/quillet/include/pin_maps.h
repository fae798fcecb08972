// quillet's pin tables: the GPIO of each digital output and input, indexed
// by channel number.
#ifndef BOARDS_QUILLET_PIN_MAPS_H
#define BOARDS_QUILLET_PIN_MAPS_H

#include <cstdint>

// Output n is bit n of the output word in registers 0x50/0x51.
inline constexpr uint8_t DOUT_MAP[] = {12, 22, 11, 26, 10, 27, 2, 1, 0};
inline constexpr uint32_t DOUT_COUNT = sizeof(DOUT_MAP);

// Input n is bit n of the input word in register 0x12.
inline constexpr uint8_t DIN_MAP[] = {15, 17, 14, 18, 13, 19};
inline constexpr uint32_t DIN_COUNT = sizeof(DIN_MAP);

#endif
