// One thing a logic analyser on the boards saw, with its fields: a pin's
// level or function, a PWM slice's settings, an SPI frame, a converter
// command, a console line, a reset, a bus transfer. The text is for
// printing only; whoever compares records compares their fields.
#pragma once

#include "engine/time.h"
#include "world/i2c_transfer.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace sim {

// One named field of a record, for comparing records field by field.
struct RecordField {
    std::string name;
    std::variant<std::uint64_t, std::string> value;
    bool hex = false; // a number printed in hexadecimal

    bool operator==(const RecordField& o) const { return name == o.name && value == o.value; }
    bool operator!=(const RecordField& o) const { return !(*this == o); }
    std::string text() const;
};
using RecordFields = std::vector<RecordField>;

// "pin": the settled level of a pin changed, and who holds it there.
struct PinLevel {
    enum class Holder { Chip, World, Contention, Floating, Pulled };
    unsigned pin = 0;
    bool level = false;
    Holder holder = Holder::Pulled;
    unsigned function = 0; // the function that drives it, when the chip does

    static constexpr const char* kKind = "pin";
    std::string text() const; // "GPIO25=1 (sio drives)"
    void fields(RecordFields& out) const;
};

// "function": a pin was handed to another function.
struct PinFunction {
    unsigned pin = 0;
    unsigned function = 0;

    static constexpr const char* kKind = "function";
    std::string text() const; // "GPIO1 sio"
    void fields(RecordFields& out) const;
};

// "pwm": a slice's enable, wrap, divider or a channel level changed.
struct PwmSettings {
    unsigned slice = 0;
    bool enabled = false;
    unsigned top = 0;
    unsigned divider = 16; // 8.4 fixed point
    unsigned levelA = 0;
    unsigned levelB = 0;

    static constexpr const char* kKind = "pwm";
    std::string text() const; // "slice 0 on, top 2500, div 8.0, A 20, B 0"
    void fields(RecordFields& out) const;
};

// "spi": the SPI master shifted one frame; `rx` is what the world answered.
struct SpiTransfer {
    std::uint16_t tx = 0;
    std::uint16_t rx = 0;
    unsigned bits = 8;
    unsigned mode = 0; // CPOL * 2 + CPHA
    Time duration = 0;

    static constexpr const char* kKind = "spi";
    std::string text() const; // "spi0 tx=0x3000 rx=0x0000 16 bits mode 0, 163.840us"
    void fields(RecordFields& out) const;
};

// "dac": the converter took a command.
struct DacCommand {
    std::uint16_t word = 0;
    unsigned channel = 0; // 0 = A
    unsigned value = 0;
    bool active = true;

    static constexpr const char* kKind = "dac";
    std::string text() const; // "0x3800: channel A value 2048"
    void fields(RecordFields& out) const;
};

// "dac": the converter saw a selection it cannot take.
struct DacError {
    std::string what;

    static constexpr const char* kKind = "dac";
    std::string text() const; // "framing error: 2 frames in one selection"
    void fields(RecordFields& out) const;
};

// "console": one line the image printed.
struct ConsoleText {
    std::string line;

    static constexpr const char* kKind = "console";
    std::string text() const { return line; }
    void fields(RecordFields& out) const;
};

// "reset": the chip was reset.
struct ChipReset {
    std::string cause;

    static constexpr const char* kKind = "reset";
    std::string text() const { return cause; }
    void fields(RecordFields& out) const;
};

// "i2c": one transfer as a bus analyser decodes it.
struct BusTransfer {
    I2cTransferRecord transfer;

    static constexpr const char* kKind = "i2c";
    std::string text() const { return describe(transfer); }
    void fields(RecordFields& out) const;
};

using RecordData = std::variant<PinLevel, PinFunction, PwmSettings, SpiTransfer, DacCommand,
                                DacError, ConsoleText, ChipReset, BusTransfer>;

struct Record {
    Time at = 0;
    std::string source; // the board, or "bus"
    RecordData data;

    // pin, function, pwm, spi, dac, console, reset, i2c
    std::string kind() const;
    std::string text() const;
    // "26000.150us valdor pin GPIO25=1 (sio drives)"
    std::string line() const;
    RecordFields fields() const;

    template <class T>
    const T* as() const {
        return std::get_if<T>(&data);
    }
};

// "26000.150us"
std::string formatRecordTime(Time t);

} // namespace sim
