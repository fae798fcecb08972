// The wires of one SPI frame as a probe on the pins sees them: the clock at
// the frame's own period, idling at its polarity, and the data wires, most
// significant bit first, changing where the mode says the receiver does not
// sample. The frame's end leaves the wires to whoever holds them then.
#pragma once

#include "chip/spi.h"

#include <cstdint>
#include <vector>

namespace sim {

enum class SpiWire { Sck, Mosi, Miso };

struct SpiEdge {
    Time at = 0;
    SpiWire wire = SpiWire::Sck;
    bool level = false;

    bool operator==(const SpiEdge& o) const {
        return at == o.at && wire == o.wire && level == o.level;
    }
};

// In time order; MOSI carries frame.mosi, MISO `rx`.
std::vector<SpiEdge> spiEdges(const SpiFrame& frame, std::uint16_t rx);

} // namespace sim
