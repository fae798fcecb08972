#include "world/spi_waveform.h"

namespace sim {

std::vector<SpiEdge> spiEdges(const SpiFrame& frame, std::uint16_t rx) {
    std::vector<SpiEdge> edges;
    if (frame.bits == 0 || frame.end <= frame.start)
        return edges;
    const Time period = (frame.end - frame.start) / frame.bits;
    const Time half = period / 2;
    const bool idle = frame.cpol;
    for (unsigned i = 0; i < frame.bits; ++i) {
        const unsigned shift = frame.bits - 1 - i;
        const Time bit = frame.start + i * period;
        // Mode 0 and 2 put the bit out before the leading edge samples it;
        // modes 1 and 3 put it out on the leading edge.
        edges.push_back({bit, SpiWire::Mosi, ((frame.mosi >> shift) & 1u) != 0});
        edges.push_back({bit, SpiWire::Miso, ((rx >> shift) & 1u) != 0});
        if (frame.cpha) {
            edges.push_back({bit, SpiWire::Sck, !idle});
            edges.push_back({bit + half, SpiWire::Sck, idle});
        } else {
            edges.push_back({bit + half, SpiWire::Sck, !idle});
            edges.push_back({bit + period, SpiWire::Sck, idle});
        }
    }
    return edges;
}

} // namespace sim
