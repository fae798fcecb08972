// Virtual time of the simulated world: nanoseconds since power-on of the backplane.
#pragma once

#include <cstdint>

namespace sim {

using Time = std::uint64_t;

constexpr Time nanoseconds(std::uint64_t n) {
    return n;
}
constexpr Time microseconds(std::uint64_t n) {
    return n * 1000u;
}
constexpr Time milliseconds(std::uint64_t n) {
    return n * 1000000u;
}
constexpr Time seconds(std::uint64_t n) {
    return n * 1000000000u;
}

constexpr Time kNever = ~Time{0};

} // namespace sim
