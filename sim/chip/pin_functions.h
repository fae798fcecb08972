// Which function each pin of IO bank 0 is in (GPIOn_CTRL.FUNCSEL): how a
// block finds out whether its signals reach the pads at all.
#pragma once

namespace sim {

// Function select values of IO bank 0.
namespace gpiofn {
constexpr unsigned kSpi = 1;
constexpr unsigned kUart = 2;
constexpr unsigned kI2c = 3;
constexpr unsigned kPwm = 4;
constexpr unsigned kSio = 5;
constexpr unsigned kNull = 0x1f;
} // namespace gpiofn

class PinFunctions {
public:
    virtual ~PinFunctions() = default;
    virtual unsigned function(unsigned pin) const = 0;
};

} // namespace sim
