#include "board/slot.h"

namespace {
constexpr uint16_t NO_BOARD_BELOW = 128;
constexpr uint16_t BAND_WIDTH = 512;
constexpr uint8_t ADDR_OF_POS_0 = 0x27;
} // namespace

SlotPosition slotFromReading(uint16_t raw) {
    if (raw < NO_BOARD_BELOW) {
        return {-1, 0};
    }
    const uint16_t band = raw / BAND_WIDTH; // 0..7 for a 12-bit reading
    const int8_t pos = static_cast<int8_t>(7 - (band > 7 ? 7 : band));
    return {pos, static_cast<uint8_t>(ADDR_OF_POS_0 - pos)};
}

bool slotReadingsSettled(uint16_t previous, uint16_t current) {
    return previous > current ? previous - current <= 1 : current - previous <= 1;
}
