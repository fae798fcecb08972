// IO bank 0 for a block under test on its own: every pin's function, set by
// the test (all in the I2C function to begin with).
#pragma once

#include "chip/gpio.h"

#include <array>

namespace sim {

struct BankPins : PinFunctions {
    BankPins() { functions.fill(gpiofn::kI2c); }
    unsigned function(unsigned pin) const override {
        return pin < functions.size() ? functions[pin] : gpiofn::kNull;
    }
    std::array<unsigned, kGpioCount> functions{};
};

} // namespace sim
