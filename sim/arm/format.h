// Numbers in the core's stop reasons.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sim::arm {

// 0x-prefixed lowercase hex, at least `digits` wide.
inline std::string hex(std::uint32_t value, int digits = 1) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, static_cast<unsigned>(value));
    return text;
}

} // namespace sim::arm
