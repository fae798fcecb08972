// What the brennic test image does in its own way, as constants for the
// shared code: no digital I/O, so host writes only change the table.
#ifndef BOARD_IMAGE_H
#define BOARD_IMAGE_H

#include <cstdint>

constexpr uint32_t BOARD_EVENT_QUEUE_LENGTH = 100;

constexpr bool HAS_INPUT_CHANGE_PIN = false;
constexpr uint8_t INPUT_CHANGE_PIN = 0;

constexpr uint32_t hostWriteEvents(uint8_t) {
    return 0;
}

#endif
