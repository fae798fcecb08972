#include "boards/valdor/fading_ramp.h"

void FadingRamp::reset() {
    _level = 0;
    _up = true;
}

uint16_t FadingRamp::step() {
    if (_up) {
        if (_level < 100) {
            _level += 20;
        } else if (_level < 500) {
            _level += 25;
        } else if (_level <= 2470) {
            _level += 30;
        } else {
            _level = LEVEL_MAX;
            _up = false;
        }
    } else {
        if (_level >= 500) {
            _level -= 30;
        } else if (_level >= 100) {
            _level -= 25;
        } else if (_level >= 20) {
            _level -= 20;
        } else {
            _level = 0;
            _up = true;
        }
    }
    return _level;
}
