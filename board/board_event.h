// Items of the board event queue: low byte the event code, high byte an
// argument (the GPIO number of an input edge).
#ifndef BOARD_BOARD_EVENT_H
#define BOARD_BOARD_EVENT_H

#include <cstdint>

using BoardEvent = uint16_t;

enum BoardEventCode : uint8_t {
    EV_HOST_ACTIVITY = 0,
    EV_HOST_TIMEOUT = 1,
    EV_GPIO_EDGE = 2,
    EV_DEBOUNCE_ELAPSED = 3,
    EV_DOUT_WRITTEN = 4,
    EV_AOUT0_WRITTEN = 5,
    EV_AOUT1_WRITTEN = 6,
};

constexpr BoardEvent makeBoardEvent(uint8_t code, uint8_t argument = 0) {
    return static_cast<BoardEvent>(code | (argument << 8));
}

constexpr uint8_t boardEventCode(BoardEvent event) {
    return static_cast<uint8_t>(event & 0xFF);
}

constexpr uint8_t boardEventArgument(BoardEvent event) {
    return static_cast<uint8_t>(event >> 8);
}

#endif
