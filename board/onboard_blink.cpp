#include "board/onboard_blink.h"

namespace {
constexpr uint8_t START_PHASES = 10;
constexpr uint32_t START_TICKS = 100;
constexpr uint32_t NO_POS_ON_TICKS = 1750;
constexpr uint32_t NO_POS_OFF_TICKS = 250;
constexpr uint32_t FLASH_TICKS = 200;
constexpr uint32_t PAUSE_TICKS = 1500;
} // namespace

uint32_t OnboardBlink::step(int8_t pos) {
    _ledOn = !_ledOn;
    if (_startPhase < START_PHASES) {
        ++_startPhase;
        return START_TICKS;
    }
    if (pos < 0) {
        return _ledOn ? NO_POS_ON_TICKS : NO_POS_OFF_TICKS;
    }
    if (_flashes > pos) {
        _flashes = 0;
        return PAUSE_TICKS;
    }
    if (_ledOn) {
        ++_flashes;
    }
    return FLASH_TICKS;
}
