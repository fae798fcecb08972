// Whole programs on the core: compiled C, exception scenarios in assembly
// whose handlers and threads report through the test device's trace.
#include "arm/cycles.h"
#include "test_machine.h"

#include <gtest/gtest.h>

namespace armtest {
namespace {

namespace cycles = sim::arm::cycles;

// Loads a program, resets and runs it to its exit.
void runProgram(TestMachine& m, const std::string& name, std::uint64_t maxCycles = 1'000'000) {
    ASSERT_TRUE(m.loadProgram(programPath(name))) << programPath(name);
    m.resetAll();
    m.run(maxCycles);
    ASSERT_TRUE(m.exited()) << name << " did not exit: " << m.core().stopInfo().reason << " at "
                            << std::hex << m.core().stopInfo().pc;
    ASSERT_EQ(m.exitCode(), 0u);
}

// The time of the n-th trace entry with this value.
std::uint64_t timeOf(const TestMachine& m, std::uint32_t value, int nth = 0) {
    for (const auto& t : m.trace()) {
        if (t.value == value && nth-- == 0) {
            return t.time;
        }
    }
    ADD_FAILURE() << "no trace entry " << std::hex << value;
    return 0;
}

TEST(Programs, CompiledCodeComputesAndPrints) {
    TestMachine m;
    runProgram(m, "checks", 5'000'000);
    EXPECT_EQ(m.output(), "quotient -10309278\n");
}

// What the SVC handler of stacks.S traces, then what the thread sees after
// the return.
std::vector<std::uint32_t> svcCase(unsigned n, std::uint32_t excReturn, std::uint32_t frame,
                                   std::uint32_t stackedXpsr, std::uint32_t controlInHandler) {
    return {excReturn, frame, 0xDF00u | n,    stackedXpsr,
            n * 0x10u, 0x1Cu, 11u /* IPSR */, controlInHandler};
}

std::vector<std::uint32_t> threadAfter(unsigned n, std::uint32_t spAfter) {
    return {0xA0u + n, 0x1Cu, spAfter};
}

TEST(Exceptions, FramesOnBothStacksWithRealignment) {
    TestMachine m;
    runProgram(m, "stacks");
    // Z and C from the CMP, the Thumb bit, and bit 9 when the frame was realigned.
    const std::uint32_t xpsr = 0x61000000u;
    const std::uint32_t realigned = xpsr | (1u << 9);
    std::vector<std::uint32_t> expected;
    auto add = [&](const std::vector<std::uint32_t>& part) {
        expected.insert(expected.end(), part.begin(), part.end());
    };
    // Thread mode on MSP: EXC_RETURN 0xFFFFFFF9; with SP off by four the
    // frame moves down to the next eight-byte boundary.
    add(svcCase(1, 0xFFFFFFF9u, 0x2003FFE0u, xpsr, 0));
    add(threadAfter(1, 0x20040000u));
    add(svcCase(2, 0xFFFFFFF9u, 0x2003FFD8u, realigned, 0));
    add(threadAfter(2, 0x2003FFFCu));
    // Thread mode on PSP: EXC_RETURN 0xFFFFFFFD, the frame on PSP, the
    // handler on MSP with SPSEL clear.
    add(svcCase(3, 0xFFFFFFFDu, 0x20037FE0u, xpsr, 0));
    add(threadAfter(3, 0x20038000u));
    add(svcCase(4, 0xFFFFFFFDu, 0x20037FD8u, realigned, 0));
    add(threadAfter(4, 0x20037FFCu));
    // Unprivileged: CONTROL 3, PRIMASK unchanged by CPSID, MSP reads zero;
    // the handler keeps nPRIV, clears it, and the return restores SPSEL.
    add({3u, 0u, 0u});
    add(svcCase(5, 0xFFFFFFFDu, 0x20037FE0u, xpsr, 1));
    add(threadAfter(5, 0x20038000u));
    add({2u});
    // PendSV above SVC preempts its handler: EXC_RETURN to Handler mode.
    add(svcCase(6, 0xFFFFFFFDu, 0x20037FE0u, xpsr, 0));
    add({0xFFFFFFF1u, 14u, 0x2003FFE0u, 0x5E5Eu});
    add(threadAfter(6, 0x20038000u));
    EXPECT_EQ(m.traceValues(), expected);
}

TEST(Exceptions, PreemptionMaskingAndTailChaining) {
    TestMachine m;
    runProgram(m, "priorities");
    const std::vector<std::uint32_t> expected = {
        // irq0 is preempted by irq1 (higher), not by irq2 (equal), which
        // follows on its return.
        0x100, 0x110, 0x101, 0x102, 0x120, 0x1FF,
        // Under PRIMASK only NMI runs; irq2 and irq3 are taken right after
        // CPSIE, before the next instruction, in priority order.
        0x2FF, 0x200, 0x120, 0x130, 0x201,
        // Both pending at once, then the second pended after the return.
        0x300, 0x120, 0x130, 0x400, 0x120, 0x130, 0x401,
        // The level line re-pends irq4 after each return until lowered.
        0x501, 0x502, 0x503, 0x5FF};
    EXPECT_EQ(m.traceValues(), expected);

    // From irq2's trace store to irq3's: the store, BX LR, then either the
    // tail-chain or a return, the thread's pending store and a new entry;
    // then two literal loads in irq3's handler.
    const std::uint64_t chained = timeOf(m, 0x130, 1) - timeOf(m, 0x120, 2);
    const std::uint64_t separate = timeOf(m, 0x130, 2) - timeOf(m, 0x120, 3);
    EXPECT_EQ(chained, 2 + 2 + cycles::kTailChain + 4);
    EXPECT_EQ(separate, 2 + 2 + cycles::kExceptionReturn + 2 + cycles::kExceptionEntry + 4);
    EXPECT_EQ(separate - chained,
              cycles::kExceptionReturn + 2 + cycles::kExceptionEntry - cycles::kTailChain);
}

TEST(Exceptions, SysTickPeriodAndCountFlag) {
    TestMachine m;
    runProgram(m, "systick");
    const std::vector<std::uint32_t> expected = {
        0x5000,  0x5001, 0x5001, 0x5001,
        0x10007, // the wraps set COUNTFLAG ...
        0x7,     // ... and the read cleared it
        0x5,     // polled until set again, cleared by the polling read
        998};    // a write clears the counter; it reloads 999 and counts
    EXPECT_EQ(m.traceValues(), expected);
    // The enabling store starts 6 cycles after the 0x5000 trace; 1000 counts
    // to the wrap, then the entry and two literal loads.
    EXPECT_EQ(timeOf(m, 0x5001, 0) - timeOf(m, 0x5000), 6 + 1000 + cycles::kExceptionEntry + 4);
    EXPECT_EQ(timeOf(m, 0x5001, 1) - timeOf(m, 0x5001, 0), 1000u);
    EXPECT_EQ(timeOf(m, 0x5001, 2) - timeOf(m, 0x5001, 1), 1000u);
}

TEST(Exceptions, PendSvSwitchesTwoTasksOnTheProcessStack) {
    TestMachine m;
    runProgram(m, "context_switch");
    std::vector<std::uint32_t> expected;
    for (std::uint32_t round = 1; round <= 3; ++round) {
        expected.insert(expected.end(), {0xA0 + round, 0xAAAA, 0x20030000});
        expected.insert(expected.end(), {0xB0 + round, 0xBBBB, 0x20031000});
    }
    EXPECT_EQ(m.traceValues(), expected);
    EXPECT_EQ(m.core().psp(), 0x20030000u);
    EXPECT_EQ(m.core().control(), 2u);
}

TEST(Events, SevWakesTheOtherCoreAndInterruptsWakeSleepers) {
    TestMachine m(2);
    runProgram(m, "events");
    std::vector<std::uint32_t> core0;
    std::vector<std::uint32_t> core1;
    for (const auto& t : m.trace()) {
        (t.core == 0 ? core0 : core1).push_back(t.value);
    }
    EXPECT_EQ(core0, (std::vector<std::uint32_t>{0xC00, 0xC01}));
    // WFE until SEV; WFI wakes with PRIMASK set and the handler runs after
    // CPSIE; WFE wakes for a disabled interrupt under SEVONPEND.
    EXPECT_EQ(core1, (std::vector<std::uint32_t>{0xC10, 0xC11, 0xC12, 0xC15, 0xC14, 0xC13}));
    // Core 1 resumes in the cycle of core 0's SEV (two cycles after the
    // 0xc00 store); core 0's own WFE falls through on its own SEV.
    EXPECT_EQ(timeOf(m, 0xC11) - timeOf(m, 0xC00), 2 + 4u);
    EXPECT_EQ(timeOf(m, 0xC01) - timeOf(m, 0xC00), 2 + 1 + cycles::kSleepHint + 4);
    EXPECT_EQ(m.core(1).state(), sim::arm::Core::State::WaitForEvent);
}

TEST(Timing, LoopCyclesAreExact) {
    TestMachine m;
    m.setSelect(1000);
    runProgram(m, "loop");
    ASSERT_EQ(m.traceValues(), (std::vector<std::uint32_t>{0x1000, 500500}));
    // Per pass: ADDS 1, LDR 2, STR 2, SUBS 1, BNE taken 2; the last BNE
    // falls through (1), then the trace's literal load (2).
    const std::uint64_t loop = timeOf(m, 500500) - timeOf(m, 0x1000);
    EXPECT_EQ(loop, 2 + 1000 * 8 - 1 + 2);
    EXPECT_EQ(m.core().instructions(), 3 + 3 + 1 + 5000 + 2 + 3);
}

} // namespace
} // namespace armtest
