// brennic's select lines: A0 GPIO17, A1 GPIO20, A2 GPIO21, enable GPIO9;
// channel k sits on demultiplexer output k - 1.
#include "boards/quillet/demux.h"

namespace {
constexpr uint32_t A0 = 1u << 17;
constexpr uint32_t A1 = 1u << 20;
constexpr uint32_t A2 = 1u << 21;
constexpr uint32_t ENABLE = 1u << 9;
} // namespace

const uint32_t Demux::LINES = A0 | A1 | A2 | ENABLE;

uint32_t Demux::pattern(unsigned char out) {
    const uint8_t address = (out - 1) & 7;
    return ENABLE | ((address & 1) ? A0 : 0) | ((address & 2) ? A1 : 0) | ((address & 4) ? A2 : 0);
}
