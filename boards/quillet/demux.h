// The converter-select demultiplexer: three address lines and an enable pick
// the one thermocouple converter that may answer on the shared SPI lines.
// quillet and brennic wire it to different pins; each image's
// demux_lines.cpp says which.
#ifndef BOARDS_QUILLET_DEMUX_H
#define BOARDS_QUILLET_DEMUX_H

#include <cstdint>

class Demux {
public:
    // The select lines become software-controlled outputs, all low: nothing
    // selected.
    Demux();

    // Selects channel `out` (1..8), or nothing with 0. Above 8: a warning,
    // false, and the lines keep their levels.
    bool set(unsigned char out);

    // GPIO bits of the select lines, and the levels that select channel
    // `out` (1..8): the enable and the channel's address bits.
    static const uint32_t LINES;
    static uint32_t pattern(unsigned char out);

private:
    uint32_t _mask;
};

#endif
