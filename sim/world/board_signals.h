// What a probe on a board calls its pins, as the board's description names
// them: the role of each GPIO (dout0, din2, cs_enable, led, ...), the analog
// inputs by what they carry, the status LEDs a PWM fades, and the SPI wires.
// Pins without a role are gpioN; pins that are not digital signals on the
// board (analog inputs, the backplane's SDA and SCL) are not probed as such.
#pragma once

#include "world/board.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct BoardSignals {
    struct Named {
        unsigned number; // GPIO, or ADC input for `analog`
        std::string name;
    };

    std::vector<Named> pins;
    std::vector<Named> analog; // ADC inputs shown in volts
    std::vector<Named> faded;  // pins whose PWM brightness (0..1) is shown
    std::uint32_t notDigital = 0;
    int sck = -1;
    int mosi = -1;
    int miso = -1;

    // The role name, or gpioN.
    std::string pinName(unsigned pin) const;
    bool digital(unsigned pin) const { return !((notDigital >> pin) & 1u); }
};

const BoardSignals& boardSignals(BoardKind kind);

} // namespace sim
