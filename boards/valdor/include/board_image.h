// What the valdor image does in its own way, as constants for the shared code.
#ifndef BOARD_IMAGE_H
#define BOARD_IMAGE_H

#include <cstdint>

#include "agents/debounce_timer.h"
#include "board/board_event.h"
#include "boards/valdor/dac.h"
#include "boards/valdor/led_fading_state.h"

constexpr uint32_t BOARD_EVENT_QUEUE_LENGTH = 250;

// Input-change line to the host (active low); a host write starting at the
// input registers releases it.
constexpr bool HAS_INPUT_CHANGE_PIN = true;
constexpr uint8_t INPUT_CHANGE_PIN = 17;

// GPIO of each digital input, in input order: input k is bit k of the
// input word in 0x12/0x13. One copy per file that uses it: a table shared
// across files would be a unique symbol, which keeps the host build's image
// module from ever being unloaded.
constexpr uint8_t DIN_MAP[] = {15, 14, 13, 12};

// Board events that a host write covering register `addr` raises, one bit
// per event code.
constexpr uint32_t hostWriteEvents(uint8_t addr) {
    if (addr >= 0x50 && addr <= 0x52) {
        return 1u << EV_DOUT_WRITTEN;
    }
    if (addr == 0x60) {
        return 1u << EV_AOUT0_WRITTEN;
    }
    if (addr == 0x62) {
        return 1u << EV_AOUT1_WRITTEN;
    }
    return 0;
}

#endif
