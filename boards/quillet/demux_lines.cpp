// quillet's select lines: A0 GPIO3, A1 GPIO5, A2 GPIO7, enable GPIO8, with
// the channels on the demultiplexer outputs in the board's own order.
#include "boards/quillet/demux.h"

namespace {
constexpr uint32_t A0 = 1u << 3;
constexpr uint32_t A1 = 1u << 5;
constexpr uint32_t A2 = 1u << 7;
constexpr uint32_t ENABLE = 1u << 8;

// Demultiplexer address of each channel: entry k - 1 serves channel k.
constexpr uint8_t DEMUX_REMAP[8] = {7, 5, 3, 1, 6, 4, 2, 0};
} // namespace

const uint32_t Demux::LINES = A0 | A1 | A2 | ENABLE;

uint32_t Demux::pattern(unsigned char out) {
    const uint8_t address = DEMUX_REMAP[(out - 1) & 7];
    return ENABLE | ((address & 1) ? A0 : 0) | ((address & 2) ? A1 : 0) | ((address & 4) ? A2 : 0);
}
