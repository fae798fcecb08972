// Chip resets: the watchdog's boot path through the ROM, SRAM kept across a
// reset, and a reset asked for by an instruction taking effect after it.
#include "program_bench.h"

#include "chip/watchdog.h"

namespace {

using sim::Drive;
using sim::milliseconds;

class ChipReset : public ProgramBench {};

TEST_F(ChipReset, WatchdogScratchBootsTheGivenEntryThenTheImage) {
    struct Case {
        const char* what;
        bool spoilCheck;
        std::uint32_t directBoots;
    };
    const Case cases[] = {
        {"magic and check word right", false, 1},
        {"check word wrong", true, 0},
    };
    for (const Case& c : cases) {
        sim::Simulation world;
        LOAD_PROGRAM("watchdog_boot");
        sim::rp2040::Rp2040 chip(world, "chip", this->chip->elf().path());
        if (c.spoilCheck)
            chip.gpio.drive(3, Drive::High);
        chip.powerOn();
        ASSERT_TRUE(world.runFor(milliseconds(1))) << world.error();
        auto at = [&](const char* symbol) { return chip.readWord(*chip.elf().address(symbol)); };
        ASSERT_EQ(chip.resets(), 1u) << c.what;
        EXPECT_EQ(chip.resetLog()[0].cause, "watchdog trigger") << c.what;
        EXPECT_EQ(chip.watchdog.reason(), sim::Watchdog::kReasonForce) << c.what;
        // SRAM kept its counts; the image booted twice in all.
        EXPECT_EQ(at("normal_boots"), 2u) << c.what;
        EXPECT_EQ(at("direct_boots"), c.directBoots) << c.what;
        if (c.directBoots) {
            EXPECT_EQ(at("direct_sp"), 0x20041000u) << c.what;
            // Still the ROM's vector table; returning goes back into the ROM.
            EXPECT_EQ(at("direct_vtor"), 0u) << c.what;
            EXPECT_EQ(chip.describe(at("direct_lr") & ~1u).rfind("rom boot", 0), 0u)
                << chip.describe(at("direct_lr") & ~1u);
            // The ROM cleared the magic before the jump: the next boot is plain.
            EXPECT_EQ(at("direct_magic"), 0u) << c.what;
        }
        EXPECT_EQ(chip.watchdog.scratch()[4], c.directBoots ? 0u : 0xb007c0d3u) << c.what;
    }
}

TEST_F(ChipReset, SystemResetRequestRebootsAfterTheStore) {
    LOAD_PROGRAM("sysreset");
    chip->powerOn();
    run(milliseconds(1));
    ASSERT_EQ(chip->resets(), 1u);
    EXPECT_EQ(chip->resetLog()[0].cause, "system reset request from core 0");
    EXPECT_EQ(word("boots"), 2u);
    EXPECT_GT(chip->resetLog()[0].at, 0u);
    EXPECT_LT(chip->resetLog()[0].at, milliseconds(1));
}

TEST_F(ChipReset, CoreOneHeldByThePowerOnStateMachineAndLaunchedAgain) {
    LOAD_PROGRAM("relaunch");
    chip->powerOn();
    run(milliseconds(1));
    EXPECT_EQ(word("first_runs"), 1u);
    EXPECT_EQ(word("second_runs"), 1u);
    EXPECT_EQ(word("held_read_back"), 1u << 16);
    // Held in reset, core 1 did not run on.
    EXPECT_EQ(word("first_spins"), 0u);
    EXPECT_EQ(chip->resets(), 0u);
    EXPECT_EQ(chip->describe(chip->core(1).pc()).rfind("second", 0), 0u)
        << chip->describe(chip->core(1).pc());
}

TEST_F(ChipReset, DebugHaltStopsTheCoresWhileTimeGoesOn) {
    LOAD_PROGRAM("systick");
    chip->gpio.drive(3, Drive::High); // spin
    chip->powerOn();
    run(milliseconds(1));
    const std::uint32_t before = word("ticks");
    const std::uint64_t executed = chip->stats().instructions[0];
    chip->setDebugHalt(true);
    run(milliseconds(1));
    EXPECT_EQ(word("ticks"), before);
    EXPECT_EQ(chip->stats().instructions[0], executed);
    EXPECT_GE(chip->coreTime(0), milliseconds(2));
    chip->setDebugHalt(false);
    run(milliseconds(1));
    EXPECT_EQ(word("ticks") - before, 100u);
}

} // namespace
