// A block whose registers only keep what is written: enough for blocks the
// firmware configures but whose effect the simulation does not model (the
// flash interface, bus priorities, the QSPI pads). Registers not listed
// read as zero and ignore writes; listed ones start from their reset value,
// and bits outside a register's writable mask keep their value.
#pragma once

#include "chip/register_block.h"

#include <cstdint>
#include <map>
#include <string>

namespace sim::rp2040 {

class StoredBlock : public RegisterBlock {
public:
    explicit StoredBlock(std::string name) : name_(std::move(name)) {}

    // Declares a register. Defaults: resets to 0, every bit writable.
    StoredBlock& define(std::uint32_t offset, std::uint32_t resetValue = 0,
                        std::uint32_t writable = ~0u);
    // Declares `count` registers `stride` apart with the same reset value.
    StoredBlock& defineRange(std::uint32_t offset, unsigned count, std::uint32_t stride,
                             std::uint32_t resetValue = 0, std::uint32_t writable = ~0u);

    const std::string& name() const { return name_; }
    void reset();

    std::uint32_t read(std::uint32_t offset) override { return peek(offset); }
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    struct Register {
        std::uint32_t value;
        std::uint32_t resetValue;
        std::uint32_t writable;
    };
    std::string name_;
    std::map<std::uint32_t, Register> registers_;
};

} // namespace sim::rp2040
