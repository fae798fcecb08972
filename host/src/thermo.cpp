#include "boardhost/thermo.h"

#include <cstdio>

namespace boardhost {

namespace {

// 327.50 degrees: the last reading below the out-of-range fault.
constexpr std::uint16_t kHighestReading = 32750;

} // namespace

ThermoReading decodeThermo(std::uint16_t raw) {
    ThermoReading r;
    r.raw = raw;
    if (raw > kHighestReading && !(raw & 0x8000u)) {
        r.fault = ThermoFault::Impossible;
        return r;
    }
    if (!(raw & 0x8000u)) {
        r.hundredths = raw;
        return r;
    }
    switch (raw) {
    case 0x8004:
        r.fault = ThermoFault::OpenInput;
        break;
    case 0x8010:
        r.fault = ThermoFault::OutOfRange;
        break;
    case 0xC000:
        r.fault = ThermoFault::Unsupported;
        break;
    default:
        r.fault = ThermoFault::Unknown;
        break;
    }
    return r;
}

std::string faultName(ThermoFault fault) {
    switch (fault) {
    case ThermoFault::None:
        return "";
    case ThermoFault::OpenInput:
        return "open input";
    case ThermoFault::OutOfRange:
        return "out of range";
    case ThermoFault::Unsupported:
        return "unsupported converter";
    case ThermoFault::Impossible:
        return "impossible value";
    case ThermoFault::Unknown:
        break;
    }
    return "unknown fault";
}

std::string faultCode(ThermoFault fault) {
    switch (fault) {
    case ThermoFault::None:
        return "";
    case ThermoFault::OpenInput:
        return "open";
    case ThermoFault::OutOfRange:
        return "range";
    case ThermoFault::Unsupported:
        return "unsupported";
    case ThermoFault::Impossible:
        return "impossible";
    case ThermoFault::Unknown:
        break;
    }
    return "unknown";
}

std::string describe(const ThermoReading& reading) {
    char text[40];
    if (reading.ok())
        std::snprintf(text, sizeof text, "%u.%02u", reading.hundredths / 100,
                      reading.hundredths % 100);
    else
        std::snprintf(text, sizeof text, "%s (0x%04x)", faultName(reading.fault).c_str(),
                      reading.raw);
    return text;
}

} // namespace boardhost
