// A block's registers as the datasheet lists them, declared once: where each
// one is, what it reads after the block's reset, which bits a write reaches
// and which are latched flags that a written 1 clears. The block masks its
// writes and answers the bus fabric's atomic aliases from its map, and the
// register tests check every block against its map.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sim {

struct RegisterInfo {
    // What a write of the `writable` bits shows when the register is read
    // back: a Stored register holds them (the other bits keep their reset
    // value); a Status register shows the block's state, which the write may
    // change; an Action register acts on the write (a FIFO push, a strobe, a
    // reset) and reads something else.
    enum class Kind : std::uint8_t { Stored, Status, Action };

    std::uint32_t offset;
    std::uint32_t reset;
    std::uint32_t writable;
    std::uint32_t clearBits;
    Kind kind;
};

constexpr RegisterInfo stored(std::uint32_t offset, std::uint32_t reset, std::uint32_t writable) {
    return {offset, reset, writable, 0, RegisterInfo::Kind::Stored};
}
constexpr RegisterInfo status(std::uint32_t offset, std::uint32_t reset, std::uint32_t writable = 0,
                              std::uint32_t clearBits = 0) {
    return {offset, reset, writable, clearBits, RegisterInfo::Kind::Status};
}
constexpr RegisterInfo action(std::uint32_t offset, std::uint32_t reset, std::uint32_t writable) {
    return {offset, reset, writable, 0, RegisterInfo::Kind::Action};
}

class RegisterMap {
public:
    template <std::size_t N>
    constexpr RegisterMap(const RegisterInfo (&entries)[N]) : entries_(entries), size_(N) {}
    template <std::size_t N>
    constexpr RegisterMap(const std::array<RegisterInfo, N>& entries)
        : entries_(entries.data()), size_(N) {}

    const RegisterInfo* begin() const { return entries_; }
    const RegisterInfo* end() const { return entries_ + size_; }

    // The register at `offset`, or nullptr where the block has none.
    constexpr const RegisterInfo* find(std::uint32_t offset) const {
        for (std::size_t i = 0; i < size_; ++i)
            if (entries_[i].offset == offset)
                return &entries_[i];
        return nullptr;
    }
    constexpr const RegisterInfo& at(std::uint32_t offset) const { return *find(offset); }
    constexpr std::uint32_t reset(std::uint32_t offset) const { return at(offset).reset; }
    // `value` as far as a write to the register reaches.
    constexpr std::uint32_t masked(std::uint32_t offset, std::uint32_t value) const {
        return value & at(offset).writable;
    }
    constexpr std::uint32_t clearBits(std::uint32_t offset) const {
        const RegisterInfo* r = find(offset);
        return r ? r->clearBits : 0;
    }

private:
    const RegisterInfo* entries_;
    std::size_t size_;
};

} // namespace sim
