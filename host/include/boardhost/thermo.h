// A thermocouple channel's 16-bit value: a temperature in hundredths of a
// degree Celsius, or, with bit 15 set, what went wrong.
#pragma once

#include <cstdint>
#include <string>

namespace boardhost {

enum class ThermoFault {
    None,
    OpenInput,   // 0x8004: open thermocouple or a converter that does not answer
    OutOfRange,  // 0x8010: 327.75 degrees or more
    Unsupported, // 0xC000: converter type not implemented
    Unknown,     // any other value with bit 15 set, reported with its code
    Impossible,  // 32751..32767: above the highest temperature, no fault code
};

struct ThermoReading {
    std::uint16_t raw = 0;
    ThermoFault fault = ThermoFault::None;
    unsigned hundredths = 0; // when fault is None

    bool ok() const { return fault == ThermoFault::None; }
};

ThermoReading decodeThermo(std::uint16_t raw);

// "open input", "out of range", ...; empty for None.
std::string faultName(ThermoFault fault);
// One word per fault for scripts: "open", "range", "unsupported", "unknown",
// "impossible".
std::string faultCode(ThermoFault fault);

// "123.25", or the fault's name with its value: "open input (0x8004)".
std::string describe(const ThermoReading& reading);

} // namespace boardhost
