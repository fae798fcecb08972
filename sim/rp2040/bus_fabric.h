// The RP2040's bus fabric as the cores reach it: the memories (ROM, flash
// behind the XIP window and its aliases, SRAM, the XIP cache used as RAM),
// the register blocks of the peripherals with their atomic aliases (XOR at
// +0x1000, set at +0x2000, clear at +0x3000), and the SIO, which answers
// each core with its own view.
//
// Registers are 32 bits wide. A narrow read returns its byte lanes; a narrow
// write reaches the whole register with the value repeated across the lanes,
// as the cores put it on the bus. Flash and ROM are read-only to the cores.
// An address nothing answers is a bus error; lastError() says why.
//
// Timing, as the datasheet's bus fabric chapter gives it:
// - The crossbar adds no wait states to an AHB-Lite slave (2.1, "Bus
//   Fabric"): ROM, flash through XIP, each SRAM bank and the fast
//   peripherals (PIO, USB, DMA, XIP aux) answer within the core's own two
//   cycles of a load or store. The XIP cache is not modelled: every flash
//   access counts as a hit. XIP_CTRL and the SSI sit behind the XIP port and
//   are given no penalty either.
// - The APB bridge (2.1.3, "APB Bridge"): an APB transfer takes two cycles
//   at least (setup and access phase), and the bridge adds one cycle to a
//   read and two to a write. On top of the core's two, a load from an APB
//   register stalls it 2 cycles (4 in all), a store 3 (5 in all).
// - Atomic aliases (2.1.2, "Atomic Register Access"): most blocks carry the
//   alias write out themselves, in the time of a plain write. I2C, UART, SPI
//   and the SSI have it added by an interposer that turns it into a read and
//   a write at the block's boundary, two cycles longer.
// - The SIO is on each core's single-cycle I/O port, off the fabric, and has
//   no aliases at bus level (the core charges its one cycle).
// - Two masters on one SRAM bank in the same cycle (2.1.1.1, "Bus
//   Priority"): the arbiter serves one and the other waits. Both cores run
//   at the same (default) priority, where the arbiter takes turns; here the
//   core whose access was simulated first keeps the cycle, and the other's
//   access waits for the bank's next free cycle. Counted for the loads and stores of instructions
//   in the main SRAM window while both cores execute (not while both go
//   round the kernel's idle loops); instruction fetches, exception stacking,
//   the unstriped alias, the XIP port and the other slaves are not
//   arbitrated.
//
// The value an alias write leaves: a block that carries it out itself
// computes each bit from its current value (XOR, OR, AND NOT with the
// mask), the changes made in place. A write-1-to-clear bit only ever goes
// to 0 that way: the clear alias, and the XOR alias on a set flag, clear
// it; the set alias leaves it (as silicon shows with the ADC's sticky FCS
// flags). Behind the interposer the block sees a plain read, then a plain
// write of (value read, operation, mask): its write-1-to-clear bits are
// cleared wherever that word holds a 1.
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

    // How a block takes a write through its atomic aliases.
    enum class Atomics {
        Native,     // in place, per bit
        Interposer, // a read and a plain write at the block, two cycles more
    };
    // A register block at `base` (4 KiB of registers plus the aliases).
    void map(std::uint32_t base, RegisterBlock& block, std::string name,
             Atomics atomics = Atomics::Native);
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
    unsigned waitStates(std::uint32_t address, bool store) const override;
    // SRAM's arbiters: a core's access waits while the other core holds the
    // bank in that cycle.
    unsigned arbitrate(int core, std::uint32_t address) override;
    // Core `core` starts an instruction at clock cycle `cycle`: its SRAM
    // accesses take the cycles from there on.
    void beginStep(int core, std::uint64_t cycle) { nextCycle_[std::size_t(core)] = cycle; }
    // SRAM bank of an address in the main (striped) window: 0..3 striped by
    // word, 4 and 5 the two 4 KiB banks.
    static unsigned sramBank(std::uint32_t address);
    bool native(arm::Core& core, std::uint32_t pc, std::uint8_t imm) override;

    // Wait states of the APB bridge beyond a zero-wait access.
    static constexpr unsigned kApbReadWait = 2;
    static constexpr unsigned kApbWriteWait = 3;
    // What the interposer adds to an alias write.
    static constexpr unsigned kInterposerWait = 2;

private:
    struct Block {
        RegisterBlock* regs = nullptr; // null: present on silicon, not modelled
        std::string name;
        Atomics atomics = Atomics::Native;
    };
    void aliasWrite(const Block& block, std::uint32_t address, std::uint32_t value);
    // The cycles one core held one bank, over a window of 64 cycles.
    struct BankUse {
        std::uint64_t origin = 0;
        std::uint64_t cycles = 0; // bit i: cycle origin + i
        bool holds(std::uint64_t cycle) const {
            return cycle >= origin && cycle - origin < 64 && ((cycles >> (cycle - origin)) & 1u);
        }
        void take(std::uint64_t cycle);
    };
    static constexpr unsigned kSramBanks = 6;

    const Block* blockAt(std::uint32_t address) const;
    const std::uint8_t* memoryAt(std::uint32_t address, std::uint32_t size) const;
    bool fail(const char* what, std::uint32_t address, unsigned size, const std::string& why);

    Bootrom& rom_;
    Sio& sio_;
    std::vector<std::uint8_t> flash_;
    std::vector<std::uint8_t> sram_;
    std::vector<std::uint8_t> xipRam_;
    std::map<std::uint32_t, Block> blocks_; // by base
    std::array<std::array<BankUse, kSramBanks>, 2> banks_{};
    std::array<std::uint64_t, 2> nextCycle_{};
    std::string lastError_;
    std::uint32_t lastErrorAddress_ = 0;
};

} // namespace sim::rp2040
