// IO bank 0, its pads and SIO's GPIO registers programmed as software does
// it, through their registers: what the SDK's gpio functions write, and what
// a boot ROM, a debugger or a test bench writes. The chip's pins have no other
// way in from the processor's side.
#pragma once

#include "chip/gpio.h"

#include <cstdint>

namespace sim::bank0 {

inline std::uint32_t ctrlOffset(unsigned pin) {
    return 8 * pin + 4;
}
inline std::uint32_t padOffset(unsigned pin) {
    return Gpio::kPadGpio0 + 4 * pin;
}

// Read-modify-write of the bits in `mask` of a pad register.
inline void writePad(Gpio& gpio, unsigned pin, std::uint32_t value, std::uint32_t mask) {
    RegisterBlock& pads = gpio.pads();
    pads.write(padOffset(pin), (pads.read(padOffset(pin)) & ~mask) | (value & mask));
}

// gpio_set_function: the pad's input on and its output disable off, so the
// selected peripheral both drives and hears the pin; then CTRL = function,
// which clears the overrides.
inline void setFunction(Gpio& gpio, unsigned pin, unsigned function) {
    writePad(gpio, pin, Gpio::kPadInputEnable, Gpio::kPadInputEnable | Gpio::kPadOutputDisable);
    gpio.ioBank().write(ctrlOffset(pin), function & 0x1Fu);
}

inline void setPulls(Gpio& gpio, unsigned pin, bool up, bool down) {
    writePad(gpio, pin, (up ? Gpio::kPadPullUp : 0u) | (down ? Gpio::kPadPullDown : 0u),
             Gpio::kPadPullUp | Gpio::kPadPullDown);
}

inline void setInputEnabled(Gpio& gpio, unsigned pin, bool enabled) {
    writePad(gpio, pin, enabled ? Gpio::kPadInputEnable : 0u, Gpio::kPadInputEnable);
}

// SIO's atomic set and clear registers of the output and output enable words.
inline void setOut(Gpio& gpio, std::uint32_t mask) {
    gpio.sio().write(Gpio::kSioOut + Gpio::kSioSet, mask);
}
inline void clearOut(Gpio& gpio, std::uint32_t mask) {
    gpio.sio().write(Gpio::kSioOut + Gpio::kSioClr, mask);
}
inline void setOutputEnable(Gpio& gpio, std::uint32_t mask) {
    gpio.sio().write(Gpio::kSioOe + Gpio::kSioSet, mask);
}

// The four event bits of `pin` in an interrupt register of eight pins.
inline std::uint32_t eventShift(unsigned pin) {
    return 4 * (pin % 8);
}
inline std::uint32_t eventRegister(std::uint32_t first, unsigned pin) {
    return first + 4 * (pin / 8);
}
inline std::uint32_t inteOffset(int core, unsigned pin) {
    return eventRegister(core == 1 ? Gpio::kProc1Inte0 : Gpio::kProc0Inte0, pin);
}
inline std::uint32_t intsOffset(int core, unsigned pin) {
    return inteOffset(core, pin) + Gpio::kInteToInts;
}

// INTRn, write 1 to clear: only edge events latch.
inline void acknowledge(Gpio& gpio, unsigned pin, std::uint32_t events) {
    gpio.ioBank().write(eventRegister(Gpio::kIntr0, pin), (events & 0xFu) << eventShift(pin));
}

inline std::uint32_t irqStatus(Gpio& gpio, int core, unsigned pin) {
    return (gpio.ioBank().read(intsOffset(core, pin)) >> eventShift(pin)) & 0xFu;
}

inline void setIrqEnabled(Gpio& gpio, int core, unsigned pin, std::uint32_t events, bool enabled) {
    RegisterBlock& bank = gpio.ioBank();
    const std::uint32_t bits = (events & 0xFu) << eventShift(pin);
    const std::uint32_t inte = bank.read(inteOffset(core, pin));
    bank.write(inteOffset(core, pin), enabled ? inte | bits : inte & ~bits);
}

} // namespace sim::bank0
