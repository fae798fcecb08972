// A block of memory-mapped registers as the bus fabric reaches it: offsets
// within the block, 32-bit accesses. The fabric carries out the RP2040's
// atomic aliases (XOR at +0x1000, set at +0x2000, clear at +0x3000) from
// peek() and write(), so peek() must have no side effects, and from the
// write-1-to-clear bits a register declares.
#pragma once

#include <cstdint>

namespace sim {

class RegisterBlock {
public:
    virtual ~RegisterBlock() = default;
    // A read as the processor makes it, with its side effects (a FIFO pops,
    // a clear-on-read register clears).
    virtual std::uint32_t read(std::uint32_t offset) = 0;
    // The same register's value without side effects.
    virtual std::uint32_t peek(std::uint32_t offset) const = 0;
    virtual void write(std::uint32_t offset, std::uint32_t value) = 0;
    // The register's write-1-to-clear bits (latched flags: a 1 written
    // clears, a 0 leaves them). The other bits take a write as their own
    // kind says: stored, ignored when read-only, acted on when a strobe.
    virtual std::uint32_t writeClearBits(std::uint32_t /*offset*/) const { return 0; }
};

} // namespace sim
