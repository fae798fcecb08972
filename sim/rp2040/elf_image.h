// An executable for the chip: an ELF32 little-endian ARM file, its loadable
// segments by the address they are loaded at (where they sit in flash, not
// where the start-up code copies them), and its symbol table for reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim::rp2040 {

class ElfImage {
public:
    struct Segment {
        std::uint32_t loadAddress = 0; // physical address: where the bytes are stored
        std::uint32_t runAddress = 0;  // virtual address: where the code expects them
        std::vector<std::uint8_t> bytes;
    };
    struct Symbol {
        std::uint32_t address = 0; // without the Thumb bit
        std::uint32_t size = 0;
        std::string name;
        bool function = false;
    };

    // Reads and checks the file; throws std::runtime_error naming the file
    // and what is wrong with it.
    explicit ElfImage(const std::string& path);

    const std::string& path() const { return path_; }
    std::uint32_t entry() const { return entry_; }
    const std::vector<Segment>& segments() const { return segments_; }

    // The address of a symbol, or nothing.
    std::optional<std::uint32_t> address(const std::string& name) const;
    const Symbol* find(const std::string& name) const;
    // The function or object around an address, or null.
    const Symbol* at(std::uint32_t address) const;
    // "name+0x1c", "name", or "" when no symbol lies before the address.
    std::string describe(std::uint32_t address) const;

private:
    void parse(const std::vector<std::uint8_t>& file);

    std::string path_;
    std::uint32_t entry_ = 0;
    std::vector<Segment> segments_;
    std::vector<Symbol> symbols_; // by address
};

} // namespace sim::rp2040
