// What the quillet image does in its own way, as constants for the shared code.
#ifndef BOARD_IMAGE_H
#define BOARD_IMAGE_H

#include <cstdint>

#include "agents/debounce_timer.h"
#include "board/board_event.h"
#include "pin_maps.h"

constexpr uint32_t BOARD_EVENT_QUEUE_LENGTH = 250;

// Input-change line to the host (active low); a host write starting at the
// input registers releases it.
constexpr bool HAS_INPUT_CHANGE_PIN = true;
constexpr uint8_t INPUT_CHANGE_PIN = 16;

// Board events that a host write covering register `addr` raises, one bit
// per event code.
constexpr uint32_t hostWriteEvents(uint8_t addr) {
    return (addr >= 0x50 && addr <= 0x52) ? 1u << EV_DOUT_WRITTEN : 0;
}

#endif
