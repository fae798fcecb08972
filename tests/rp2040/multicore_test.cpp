// Both cores at work: core 1 launched by the program over the FIFOs as the
// SDK does it, spin locks contended from both sides, the FIFO interrupt with
// its error flags, and runs that repeat exactly.
#include "program_bench.h"

#include "rp2040/address_map.h"

namespace {

using sim::microseconds;
using sim::milliseconds;
using sim::rp2040::Mailboxes;

class Multicore : public ProgramBench {};

constexpr std::uint32_t kRounds = 2000;

TEST_F(Multicore, SpinLockKeepsTheCountExactWhileTheUnlockedOneLosesUpdates) {
    LOAD_PROGRAM("spin_locks");
    chip->powerOn();
    run(microseconds(1));
    EXPECT_TRUE(chip->parked(1)); // waits in the ROM until core 0 launches it
    run(milliseconds(5));
    ASSERT_EQ(word("done"), 1u);
    EXPECT_FALSE(chip->parked(1));
    EXPECT_EQ(word("locked_count"), 2 * kRounds);
    // The cores interleave instruction by instruction, so the unlocked
    // read-modify-write loses some of its updates.
    EXPECT_LT(word("unlocked_count"), 2 * kRounds);
    EXPECT_GE(word("unlocked_count"), kRounds);
    EXPECT_EQ(word("core1_done_word"), 0xc0de0001u);
    EXPECT_EQ(word("lock_state_after"), 0u);
    EXPECT_EQ(chip->sio().spinLocks(), 0u);
}

TEST_F(Multicore, CoreOneStartsWhereTheLaunchSaid) {
    LOAD_PROGRAM("spin_locks");
    chip->powerOn();
    run(milliseconds(5));
    EXPECT_EQ(word("core1_cpuid"), 1u);
    EXPECT_EQ(word("core1_vtor"), 0x10000100u);
    const std::uint32_t stackTop = address("core1_stack") + 512 * 4;
    EXPECT_LE(word("core1_sp"), stackTop);
    EXPECT_GT(word("core1_sp"), stackTop - 64);
    // Should its entry return, core 1 would sleep in the ROM.
    EXPECT_EQ(chip->describe(sim::rp2040::Bootrom::parkingLoop()), "rom parking loop");
}

TEST_F(Multicore, FifoInterruptErrorsAndLostWord) {
    LOAD_PROGRAM("fifo_irq");
    chip->powerOn();
    run(milliseconds(2));
    ASSERT_EQ(word("received_count"), 11u);
    const std::uint32_t expected[] = {0xa1, 0xa2, 0xa3, 0xb0, 0xb1, 0xb2,
                                      0xb3, 0xb4, 0xb5, 0xb6, 0xb7};
    for (std::uint32_t i = 0; i < 11; ++i)
        EXPECT_EQ(word("received", i), expected[i]) << "word " << i;
    // The ninth word met a full FIFO: lost, and WOF set until cleared.
    EXPECT_EQ(word("core1_status_full") & (Mailboxes::kWroteFull | Mailboxes::kReady),
              Mailboxes::kWroteFull);
    EXPECT_EQ(word("core1_status_cleared") & Mailboxes::kWroteFull, 0u);
    // The read of the empty FIFO raised the interrupt once more.
    EXPECT_EQ(word("roe_seen"), 1u);
    EXPECT_GE(word("handler_runs"), 3u);
    EXPECT_EQ(chip->core(0).irqLines() & (1u << sim::rp2040::irq::kSioProc0), 0u);
}

// What a run leaves behind, for comparing two runs.
struct Outcome {
    std::uint32_t locked, unlocked;
    sim::Time core0, core1;
    std::uint64_t instructions0, instructions1;
    bool operator==(const Outcome& o) const {
        return locked == o.locked && unlocked == o.unlocked && core0 == o.core0 &&
               core1 == o.core1 && instructions0 == o.instructions0 &&
               instructions1 == o.instructions1;
    }
};

class Repeat : public ProgramBench {
protected:
    Outcome runOnce(bool idleSkip) {
        sim::Simulation world;
        sim::rp2040::Rp2040 c(world, "chip", chip->elf().path());
        c.setIdleSkip(idleSkip);
        c.powerOn();
        EXPECT_TRUE(world.runFor(milliseconds(3))) << world.error();
        const std::uint32_t lockedAt = *c.elf().address("locked_count");
        const std::uint32_t unlockedAt = *c.elf().address("unlocked_count");
        return {c.readWord(lockedAt), c.readWord(unlockedAt),    c.coreTime(0),
                c.coreTime(1),        c.stats().instructions[0], c.stats().instructions[1]};
    }
};

TEST_F(Repeat, TwoRunsInterleaveAlike) {
    LOAD_PROGRAM("spin_locks");
    const Outcome first = runOnce(true);
    const Outcome second = runOnce(true);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.core0, milliseconds(3));
    EXPECT_EQ(first.core1, milliseconds(3));
}

} // namespace
