// Time on the chip: SysTick counts the 125 MHz clock whether the core runs or
// sleeps, idle skips change nothing the program or the world can see, and a
// pin the world drives is seen at the instruction that reads it.
#include "program_bench.h"

#include <vector>

namespace {

using sim::Drive;
using sim::microseconds;
using sim::milliseconds;
using sim::Time;

class Timing : public ProgramBench {};

TEST_F(Timing, SysTickCountsEveryTenMicrosecondsAsleepOrSpinning) {
    LOAD_PROGRAM("systick");
    struct Case {
        bool spin;
        bool idleSkip;
    };
    const Case cases[] = {{false, true}, {false, false}, {true, true}, {true, false}};
    std::vector<std::uint32_t> atEnd;
    for (const Case& c : cases) {
        const std::string what = std::string(c.spin ? "spinning" : "asleep") +
                                 (c.idleSkip ? ", idle skip" : ", every instruction");
        sim::Simulation world;
        sim::rp2040::Rp2040 chip(world, "chip", this->chip->elf().path());
        chip.setIdleSkip(c.idleSkip);
        if (c.spin)
            chip.gpio.drive(3, Drive::High);
        chip.powerOn();
        const std::uint32_t ticks = *chip.elf().address("ticks");
        ASSERT_TRUE(world.runFor(microseconds(105))) << world.error();
        const std::uint32_t before = chip.readWord(ticks);
        ASSERT_TRUE(world.runFor(milliseconds(1))) << world.error();
        // 1 ms is exactly 100 periods of 1250 cycles.
        EXPECT_EQ(chip.readWord(ticks) - before, 100u) << what;
        atEnd.push_back(chip.readWord(ticks));
        // A core that runs ends with the instruction under way at the bound.
        EXPECT_GE(chip.coreTime(0), microseconds(1105)) << what;
        EXPECT_LT(chip.coreTime(0), microseconds(1105) + 4 * 8) << what;
        if (!c.spin) {
            EXPECT_EQ(chip.coreTime(0), microseconds(1105)) << what;
            // Asleep, the core executes the handler and little else.
            EXPECT_LT(chip.stats().instructions[0], 3000u) << what;
        }
    }
    for (std::uint32_t n : atEnd)
        EXPECT_EQ(n, atEnd.front());
}

TEST_F(Timing, PinEchoFollowsTheWorldWithinAFewCycles) {
    LOAD_PROGRAM("pin_echo");
    std::vector<Time> seen;
    for (bool idleSkip : {true, false}) {
        sim::Simulation world;
        sim::rp2040::Rp2040 chip(world, "chip", this->chip->elf().path());
        chip.setIdleSkip(idleSkip);
        Time risen = 0;
        chip.gpio.addListener(1u << 6, [&](unsigned, bool level) {
            if (level && risen == 0)
                risen = world.now();
        });
        chip.powerOn();
        sim::CallbackEvent drive([&] { chip.gpio.drive(5, Drive::High); });
        world.schedule(drive, microseconds(50));
        ASSERT_TRUE(world.runFor(microseconds(60))) << world.error();
        ASSERT_GT(risen, microseconds(50));
        // The loop is a handful of instructions: one turn at most.
        EXPECT_LE(risen, microseconds(50) + 20 * 8);
        // Stores happen at the cycle the instruction starts on.
        EXPECT_EQ(risen % 8, 0u);
        seen.push_back(risen);
    }
    EXPECT_EQ(seen[0], seen[1]);
}

TEST_F(Timing, IdleSkipsLeaveEveryEdgeOnItsCycle) {
    LOAD_PROGRAM("idle_loops");
    std::vector<std::vector<std::pair<Time, unsigned>>> edges;
    for (bool idleSkip : {false, true}) {
        sim::Simulation world;
        sim::rp2040::Rp2040 chip(world, "chip", this->chip->elf().path());
        chip.setIdleSkip(idleSkip);
        // Long rounds, so that there is something to jump over.
        world.setRunnerQuantum(milliseconds(1));
        edges.emplace_back();
        chip.gpio.addListener(
            3u << 6, [&](unsigned pin, bool) { edges.back().emplace_back(world.now(), pin); });
        chip.powerOn();
        ASSERT_TRUE(world.runFor(milliseconds(3))) << world.error();
        if (idleSkip) {
            EXPECT_GT(chip.stats().idleSkips, 0u);
            EXPECT_GT(chip.stats().idleSkipped[0], milliseconds(2));
            EXPECT_GT(chip.stats().idleSkipped[1], milliseconds(2));
        }
    }
    // About 3 ms / (997 or 1301 cycles of 8 ns) edges on each pin.
    EXPECT_GT(edges[0].size(), 500u);
    EXPECT_EQ(edges[0], edges[1]);
}

} // namespace
