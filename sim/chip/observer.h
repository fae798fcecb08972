// What a probe on the chip sees, reported as it happens: pins, PWM settings,
// SPI frames, console lines and resets. Recorders and tools implement it.
#pragma once

#include "engine/time.h"

#include <cstdint>
#include <string>

namespace sim {

class Chip;
struct PinState;
struct SpiFrame;

class ChipObserver {
public:
    virtual ~ChipObserver() = default;
    // The settled level of a pin changed (pins driven by a running PWM are
    // reported through pwmChanged instead).
    virtual void pinChanged(Chip&, unsigned /*pin*/, const PinState&) {}
    // A pin was handed to another function.
    virtual void pinFunctionChanged(Chip&, unsigned /*pin*/, const PinState&) {}
    // A PWM slice's settings changed: enable, wrap, divider or a channel level.
    virtual void pwmChanged(Chip&, unsigned /*slice*/) {}
    // The SPI master shifted one frame; `rx` is what it received.
    virtual void spiFrame(Chip&, const SpiFrame&, std::uint16_t /*rx*/) {}
    virtual void consoleLine(Chip&, Time, const std::string&) {}
    virtual void chipReset(Chip&, const std::string& /*cause*/) {}
};

} // namespace sim
