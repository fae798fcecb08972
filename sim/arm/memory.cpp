// The core's memory paths off the fast one: direct regions that share a
// 16 MiB page, the private peripheral bus, the system bus with its wait
// states, and the accesses made from outside (native routines, debugger).
#include "arm/core.h"
#include "arm/format.h"
#include "arm/memory_access.h"

namespace sim::arm {

namespace {

// The private peripheral bus: the core's own registers, never the fabric's.
bool onPpb(std::uint32_t address) {
    return (address >> 20) == 0xE00u;
}

const char* widthName(unsigned size) {
    return size == 4 ? "word" : size == 2 ? "halfword" : "byte";
}

} // namespace

void Core::addDirectRegion(std::uint32_t base, std::uint32_t size, std::uint8_t* host,
                           bool writable, bool arbitrated) {
    // Word granularity keeps every aligned access inside the region.
    const std::uint32_t start = (base + 3u) & ~3u;
    const std::uint32_t trim = start - base;
    if (host == nullptr || size <= trim + 3u) {
        return;
    }
    Region r;
    r.base = start;
    r.size = (size - trim) & ~3u;
    r.host = host + trim;
    r.writable = writable;
    r.arbitrated = arbitrated;
    regions_.push_back(r);
    rebuildPages();
}

void Core::clearDirectRegions() {
    regions_.clear();
    rebuildPages();
}

void Core::rebuildPages() {
    pages_.fill(Region{});
    for (const Region& r : regions_) {
        const std::uint64_t last = std::uint64_t{r.base} + r.size - 1u;
        for (std::uint64_t page = r.base >> 24; page <= (last >> 24); ++page) {
            if (pages_[page].size == 0) {
                pages_[page] = r;
            }
        }
    }
    // The fetch window is found again on the next fetch.
    fetchHost_ = nullptr;
    fetchBase_ = 0;
    fetchLimit_ = 0;
}

const Core::Region* Core::findRegion(std::uint32_t address, unsigned size) const {
    for (const Region& r : regions_) {
        const std::uint32_t offset = address - r.base;
        if (offset < r.size && r.size - offset >= size) {
            return &r;
        }
    }
    return nullptr;
}

bool Core::unaligned(const char* what, std::uint32_t address, unsigned size) {
    fault(std::string("unaligned ") + widthName(size) + " " + what + " " + hex(address));
    return false;
}

bool Core::loadSlow(std::uint32_t address, unsigned size, std::uint32_t& value) {
    if (const Region* r = findRegion(address, size)) {
        value = 0;
        std::memcpy(&value, r->host + (address - r->base), size);
        return true;
    }
    if (onPpb(address)) {
        if (!privileged()) {
            fault("unprivileged load from the system control space " + hex(address));
            return false;
        }
        if (size != 4) {
            fault(std::string(widthName(size)) + " load from the system control space " +
                  hex(address));
            return false;
        }
        if (!ppbRead(address, value, true)) {
            fault("load from unmapped address " + hex(address));
            return false;
        }
        return true;
    }
    if (!bus_.load(id_, address, size, value)) {
        fault("load from unmapped address " + hex(address));
        return false;
    }
    stall_ += static_cast<int>(bus_.waitStates(address, false));
    return true;
}

bool Core::storeSlow(std::uint32_t address, unsigned size, std::uint32_t value) {
    if (const Region* r = findRegion(address, size); r != nullptr && r->writable) {
        std::memcpy(r->host + (address - r->base), &value, size);
        return true;
    }
    if (onPpb(address)) {
        if (!privileged()) {
            fault("unprivileged store to the system control space " + hex(address));
            return false;
        }
        if (size != 4) {
            fault(std::string(widthName(size)) + " store to the system control space " +
                  hex(address));
            return false;
        }
        if (!ppbWrite(address, value)) {
            fault("store to unmapped address " + hex(address));
            return false;
        }
        return true;
    }
    if (!bus_.store(id_, address, size, value)) {
        fault("store to unmapped address " + hex(address));
        return false;
    }
    stall_ += static_cast<int>(bus_.waitStates(address, true));
    return true;
}

bool Core::read(std::uint32_t address, unsigned size, std::uint32_t& value) {
    if (size != 1 && size != 2 && size != 4) {
        return false;
    }
    if ((address & (size - 1)) != 0) {
        // Byte by byte, little-endian, as a debugger would.
        value = 0;
        for (unsigned i = 0; i < size; ++i) {
            std::uint32_t byte = 0;
            if (!read(address + i, 1, byte)) {
                return false;
            }
            value |= byte << (8 * i);
        }
        return true;
    }
    if (const Region* r = findRegion(address, size)) {
        value = 0;
        std::memcpy(&value, r->host + (address - r->base), size);
        return true;
    }
    if (onPpb(address)) {
        return size == 4 && ppbRead(address, value, false);
    }
    return bus_.load(id_, address, size, value);
}

bool Core::write(std::uint32_t address, unsigned size, std::uint32_t value) {
    if (size != 1 && size != 2 && size != 4) {
        return false;
    }
    if ((address & (size - 1)) != 0) {
        for (unsigned i = 0; i < size; ++i) {
            if (!write(address + i, 1, (value >> (8 * i)) & 0xFFu)) {
                return false;
            }
        }
        return true;
    }
    if (const Region* r = findRegion(address, size); r != nullptr && r->writable) {
        std::memcpy(r->host + (address - r->base), &value, size);
        return true;
    }
    if (onPpb(address)) {
        return size == 4 && ppbWrite(address, value);
    }
    return bus_.store(id_, address, size, value);
}

} // namespace sim::arm
