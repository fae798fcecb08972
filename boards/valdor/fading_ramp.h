// Brightness ramp of a breathing LED: 0 up to 2500 and back in 88 steps each
// way, with finer steps near dark where the eye sees them. Pure logic.
#ifndef BOARDS_VALDOR_FADING_RAMP_H
#define BOARDS_VALDOR_FADING_RAMP_H

#include <cstdint>

class FadingRamp {
public:
    static constexpr uint16_t LEVEL_MAX = 2500;

    // Dark, rising.
    void reset();
    // One step; returns the new level.
    uint16_t step();

    uint16_t level() const { return _level; }
    bool rising() const { return _up; }

private:
    uint16_t _level = 0;
    bool _up = true;
};

#endif
