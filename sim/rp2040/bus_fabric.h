// The RP2040's bus fabric as the cores reach it: the memories (ROM, flash
// behind the XIP window and its aliases, SRAM, the XIP cache used as RAM),
// the register blocks of the peripherals with their atomic aliases (XOR at
// +0x1000, set at +0x2000, clear at +0x3000, each a read-modify-write of the
// register), and the SIO, which answers each core with its own view.
//
// Registers are 32 bits wide. A narrow read returns its byte lanes; a narrow
// write reaches the whole register with the value repeated across the lanes,
// as the cores put it on the bus. Flash and ROM are read-only to the cores.
// An address nothing answers is a bus error; lastError() says why.
//
// The fabric adds no wait states: the crossbar adds none to AHB-Lite slaves,
// and the APB bridge's own delay is not modelled.
#pragma once

#include "arm/system_bus.h"
#include "chip/register_block.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim::arm {
class Core;
}

namespace sim::rp2040 {

class Bootrom;
class Sio;

class BusFabric : public arm::SystemBus {
public:
    BusFabric(Bootrom& rom, Sio& sio);

    // The memories: the cores read and write them directly.
    std::uint8_t* flash() { return flash_.data(); }
    std::uint8_t* sram() { return sram_.data(); }
    std::uint8_t* xipRam() { return xipRam_.data(); }
    // Gives a core its direct paths to ROM, flash, SRAM and the XIP RAM.
    void connect(arm::Core& core);

    // A register block at `base` (4 KiB of registers plus the aliases).
    void map(std::uint32_t base, RegisterBlock& block, std::string name);
    // A block the chip has but the model lacks: an access is a bus error
    // that names it.
    void mapAbsent(std::uint32_t base, std::string name);
    // The name of what is mapped at an address, or "".
    std::string blockName(std::uint32_t address) const;

    // Memory content for loaders and reports (no side effects): false when
    // the range is not plain memory.
    bool readMemory(std::uint32_t address, void* out, std::uint32_t size) const;
    bool writeMemory(std::uint32_t address, const void* in, std::uint32_t size);

    const std::string& lastError() const { return lastError_; }
    std::uint32_t lastErrorAddress() const { return lastErrorAddress_; }

    bool load(int core, std::uint32_t address, unsigned size, std::uint32_t& value) override;
    bool store(int core, std::uint32_t address, unsigned size, std::uint32_t value) override;
    bool native(arm::Core& core, std::uint32_t pc, std::uint8_t imm) override;

private:
    struct Block {
        RegisterBlock* regs = nullptr; // null: present on silicon, not modelled
        std::string name;
    };
    const Block* blockAt(std::uint32_t address) const;
    const std::uint8_t* memoryAt(std::uint32_t address, std::uint32_t size) const;
    bool fail(const char* what, std::uint32_t address, unsigned size, const std::string& why);

    Bootrom& rom_;
    Sio& sio_;
    std::vector<std::uint8_t> flash_;
    std::vector<std::uint8_t> sram_;
    std::vector<std::uint8_t> xipRam_;
    std::map<std::uint32_t, Block> blocks_; // by base
    std::string lastError_;
    std::uint32_t lastErrorAddress_ = 0;
};

} // namespace sim::rp2040
