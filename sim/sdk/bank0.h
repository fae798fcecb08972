// IO bank 0 and its pads as the SDK's gpio and adc functions program them:
// through GPIOn_CTRL, the pad registers and the interrupt registers.
#pragma once

#include "sdk/host_chip.h"

#include <cstdint>

namespace sim::sdk {

inline std::uint32_t ctrlOffset(unsigned pin) {
    return 8 * pin + 4;
}
inline std::uint32_t padOffset(unsigned pin) {
    return Gpio::kPadGpio0 + 4 * pin;
}

// Read-modify-write of the bits in `mask` of a pad register.
inline void writePad(HostChip& c, unsigned pin, std::uint32_t value, std::uint32_t mask) {
    RegisterBlock& pads = c.gpio.pads();
    pads.write(padOffset(pin), (pads.read(padOffset(pin)) & ~mask) | (value & mask));
}

// gpio_set_function: the pad's input on and its output disable off, so the
// selected peripheral both drives and hears the pin; then CTRL = function,
// which clears the overrides.
inline void setFunction(HostChip& c, unsigned pin, unsigned function) {
    writePad(c, pin, Gpio::kPadInputEnable, Gpio::kPadInputEnable | Gpio::kPadOutputDisable);
    c.gpio.ioBank().write(ctrlOffset(pin), function & 0x1Fu);
}

inline void setPulls(HostChip& c, unsigned pin, bool up, bool down) {
    writePad(c, pin, (up ? Gpio::kPadPullUp : 0u) | (down ? Gpio::kPadPullDown : 0u),
             Gpio::kPadPullUp | Gpio::kPadPullDown);
}

inline void setInputEnabled(HostChip& c, unsigned pin, bool enabled) {
    writePad(c, pin, enabled ? Gpio::kPadInputEnable : 0u, Gpio::kPadInputEnable);
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
inline void acknowledge(HostChip& c, unsigned pin, std::uint32_t events) {
    c.gpio.ioBank().write(eventRegister(Gpio::kIntr0, pin), (events & 0xFu) << eventShift(pin));
}

inline std::uint32_t irqStatus(HostChip& c, int core, unsigned pin) {
    return (c.gpio.ioBank().read(intsOffset(core, pin)) >> eventShift(pin)) & 0xFu;
}

inline void setIrqEnabled(HostChip& c, int core, unsigned pin, std::uint32_t events, bool enabled) {
    RegisterBlock& bank = c.gpio.ioBank();
    const std::uint32_t bits = (events & 0xFu) << eventShift(pin);
    const std::uint32_t inte = bank.read(inteOffset(core, pin));
    bank.write(inteOffset(core, pin), enabled ? inte | bits : inte & ~bits);
}

} // namespace sim::sdk
