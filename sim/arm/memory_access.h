// The core's data accesses as its instructions make them, for the core's own
// source files: alignment checked first (ARMv6-M traps every unaligned
// access), then the direct region of the address's 16 MiB page, then the
// slow path (other regions, the private peripheral bus, the system bus).
// An arbitrated region's accesses first wait for their turn on the bus.
#pragma once

#include "arm/core.h"

#include <cstring>

namespace sim::arm {

template <unsigned Size>
inline bool Core::load(std::uint32_t address, std::uint32_t& value) {
    if ((address & (Size - 1)) != 0) {
        return unaligned("load from", address, Size);
    }
    const Region& page = pages_[address >> 24];
    const std::uint32_t offset = address - page.base;
    if (offset < page.size) {
        if (page.arbitrated && arbitrating_) {
            stall_ += static_cast<int>(bus_.arbitrate(id_, address));
        }
        if constexpr (Size == 4) {
            std::memcpy(&value, page.host + offset, 4);
        } else if constexpr (Size == 2) {
            std::uint16_t half;
            std::memcpy(&half, page.host + offset, 2);
            value = half;
        } else {
            value = page.host[offset];
        }
        return true;
    }
    return loadSlow(address, Size, value);
}

template <unsigned Size>
inline bool Core::store(std::uint32_t address, std::uint32_t value) {
    if ((address & (Size - 1)) != 0) {
        return unaligned("store to", address, Size);
    }
    const Region& page = pages_[address >> 24];
    const std::uint32_t offset = address - page.base;
    if (offset < page.size && page.writable) {
        if (page.arbitrated && arbitrating_) {
            stall_ += static_cast<int>(bus_.arbitrate(id_, address));
        }
        if constexpr (Size == 4) {
            std::memcpy(page.host + offset, &value, 4);
        } else if constexpr (Size == 2) {
            const auto half = static_cast<std::uint16_t>(value);
            std::memcpy(page.host + offset, &half, 2);
        } else {
            page.host[offset] = static_cast<std::uint8_t>(value);
        }
        watched<Size>(address);
        return true;
    }
    const bool done = storeSlow(address, Size, value);
    if (done)
        watched<Size>(address);
    return done;
}

} // namespace sim::arm
