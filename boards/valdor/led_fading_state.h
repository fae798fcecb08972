// What the status LEDs show: nothing while a host talks, the start-up LED
// until the first host activity, the host-lost LED after host silence.
#ifndef BOARDS_VALDOR_LED_FADING_STATE_H
#define BOARDS_VALDOR_LED_FADING_STATE_H

#include <cstdint>

enum LedFadingState : uint16_t {
    LED_FADING_OFF = 0,
    LED_FADING_STARTUP = 1,
    LED_FADING_HOST_LOST = 2,
};

#endif
