// Every block against its register map, on a chip fresh from power-on: each
// register reads its reset value, a stored register keeps exactly its
// writable bits, and an offset without a register reads 0 whatever is
// written to it.
#include "engine/simulation.h"
#include "sdk/host_chip.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Block {
    const char* name;
    std::function<sim::RegisterBlock&(sim::Chip&)> regs;
    const sim::RegisterMap& map;
    std::uint32_t size; // the block's window
};

const Block kBlocks[] = {
    {"uart0", [](sim::Chip& c) -> sim::RegisterBlock& { return c.uart0; }, sim::Uart::registers(),
     0x1000},
    {"spi0", [](sim::Chip& c) -> sim::RegisterBlock& { return c.spi; }, sim::Spi::registers(),
     0x1000},
    {"i2c0", [](sim::Chip& c) -> sim::RegisterBlock& { return c.i2c0Block; },
     sim::I2cController::registers(), 0x100},
    {"adc", [](sim::Chip& c) -> sim::RegisterBlock& { return c.adc; }, sim::Adc::registers(),
     0x100},
    {"pwm", [](sim::Chip& c) -> sim::RegisterBlock& { return c.pwm; }, sim::Pwm::registers(),
     0x100},
    {"timer", [](sim::Chip& c) -> sim::RegisterBlock& { return c.timer; }, sim::Timer::registers(),
     0x100},
    {"watchdog", [](sim::Chip& c) -> sim::RegisterBlock& { return c.watchdog; },
     sim::Watchdog::registers(), 0x100},
    {"io_bank0", [](sim::Chip& c) -> sim::RegisterBlock& { return c.gpio.ioBank(); },
     sim::Gpio::ioBankRegisters(), 0x400},
    {"pads_bank0", [](sim::Chip& c) -> sim::RegisterBlock& { return c.gpio.pads(); },
     sim::Gpio::padsRegisters(), 0x100},
};

// A chip of its own for each write, so that no write sees another's effects.
template <class F>
void onFreshChip(F&& f) {
    sim::Simulation sim;
    sim::HostChip chip{sim, "board"};
    f(chip);
}

TEST(RegisterMaps, EveryRegisterReadsItsResetValue) {
    for (const Block& b : kBlocks) {
        for (const sim::RegisterInfo& r : b.map) {
            SCOPED_TRACE(testing::Message() << b.name << " 0x" << std::hex << r.offset);
            onFreshChip([&](sim::Chip& chip) {
                sim::RegisterBlock& regs = b.regs(chip);
                EXPECT_EQ(regs.peek(r.offset), r.reset);
                EXPECT_EQ(regs.read(r.offset), r.reset);
                EXPECT_EQ(regs.writeClearBits(r.offset), r.clearBits);
            });
        }
    }
}

TEST(RegisterMaps, AStoredRegisterKeepsExactlyItsWritableBits) {
    for (const Block& b : kBlocks) {
        for (const sim::RegisterInfo& r : b.map) {
            if (r.kind != sim::RegisterInfo::Kind::Stored)
                continue;
            SCOPED_TRACE(testing::Message() << b.name << " 0x" << std::hex << r.offset);
            onFreshChip([&](sim::Chip& chip) {
                sim::RegisterBlock& regs = b.regs(chip);
                regs.write(r.offset, 0xFFFFFFFF);
                EXPECT_EQ(regs.peek(r.offset), (r.reset & ~r.writable) | r.writable);
                regs.write(r.offset, 0);
                EXPECT_EQ(regs.peek(r.offset), r.reset & ~r.writable);
            });
        }
    }
}

TEST(RegisterMaps, AnOffsetWithoutARegisterReadsZeroAndIgnoresWrites) {
    onFreshChip([](sim::Chip& chip) {
        for (const Block& b : kBlocks) {
            sim::RegisterBlock& regs = b.regs(chip);
            for (std::uint32_t offset = 0; offset < b.size; offset += 4) {
                if (b.map.find(offset))
                    continue;
                SCOPED_TRACE(testing::Message() << b.name << " 0x" << std::hex << offset);
                regs.write(offset, 0xFFFFFFFF);
                EXPECT_EQ(regs.read(offset), 0u);
                EXPECT_EQ(regs.writeClearBits(offset), 0u);
            }
        }
    });
}

} // namespace
