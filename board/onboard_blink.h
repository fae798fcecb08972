// The onboard LED's blink code: five quick start flashes, then p+1 flashes
// per cycle for slot position p, or long-on/short-off without a position.
#ifndef BOARD_ONBOARD_BLINK_H
#define BOARD_ONBOARD_BLINK_H

#include <cstdint>

class OnboardBlink {
public:
    // Inverts the LED and returns how many ticks the new level is held.
    uint32_t step(int8_t pos);
    bool ledOn() const { return _ledOn; }

private:
    uint8_t _startPhase = 0;
    uint8_t _flashes = 0;
    bool _ledOn = false;
};

#endif
