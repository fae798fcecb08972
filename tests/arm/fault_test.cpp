// Faults stop the core with a report: what went wrong, where, and the
// instructions that led there.
#include "arm/format.h"
#include "test_machine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace armtest {
namespace {

using State = sim::arm::Core::State;

struct FaultCase {
    const char* name;
    std::uint32_t select; // the case in faults.S
    std::string reason;   // "%" stands for the next halfword after the traced address
    std::uint32_t pc;     // 0: the address the program traced before the fault
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, StopWithReasonAndPlace) {
    const FaultCase& c = GetParam();
    TestMachine m;
    ASSERT_TRUE(m.loadProgram(programPath("faults")));
    m.setSelect(c.select);
    m.resetAll();
    m.run(100'000);
    auto& core = m.core();
    ASSERT_EQ(core.state(), State::Stopped);
    ASSERT_FALSE(m.trace().empty() && c.pc == 0);
    const std::uint32_t marked = m.trace().empty() ? 0 : m.trace().back().value;
    std::string reason = c.reason;
    if (auto at = reason.find('%'); at != std::string::npos) {
        reason.replace(at, 1, sim::arm::hex(marked + 2));
    }
    EXPECT_EQ(core.stopInfo().reason, reason);
    const std::uint32_t pc = c.pc != 0 ? c.pc : marked;
    EXPECT_EQ(core.stopInfo().pc, pc);
    EXPECT_EQ(core.pc(), pc);
    EXPECT_EQ(core.step(), 0u);
    const auto recent = core.recentPcs();
    ASSERT_FALSE(recent.empty());
    EXPECT_LE(recent.size(), 32u);
    if (c.pc == 0) {
        // The faulting instruction was the last one started.
        EXPECT_EQ(recent.back(), pc);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Report, Faults,
    ::testing::Values(
        FaultCase{"UnmappedLoad", 0, "HardFault: load from unmapped address 0x5fff0000", 0},
        FaultCase{"UnalignedWordLoad", 1, "HardFault: unaligned word load from 0x20001001", 0},
        FaultCase{"UndefinedInstruction", 2, "HardFault: undefined instruction 0xb6ff", 0},
        FaultCase{"Breakpoint", 3, "breakpoint (BKPT #18)", 0},
        FaultCase{"SvcUnderPrimask", 4, "HardFault: SVC #7 with PRIMASK set", 0},
        FaultCase{"BadExcReturn", 5, "HardFault: bad EXC_RETURN 0xfffffff5", 0},
        FaultCase{"ExecuteNever", 6,
                  "HardFault: instruction fetch from 0x40000000 (execute-never region)",
                  0x40000000u},
        FaultCase{"UdfWithoutNativeRoutine", 7, "HardFault: undefined instruction 0xde42", 0},
        FaultCase{"WideUdf", 8, "HardFault: undefined instruction 0xf7f0a000", 0},
        FaultCase{"ByteStoreToNvic", 10,
                  "HardFault: byte store to the system control space 0xe000e400", 0},
        FaultCase{"UnprivilegedScsAccess", 11,
                  "HardFault: unprivileged load from the system control space 0xe000ed00", 0},
        FaultCase{"BranchToArmState", 12, "HardFault: branch to % without the Thumb bit", 0},
        FaultCase{"StoreToReadOnlyMemory", 13, "HardFault: store to unmapped address 0x10", 0},
        FaultCase{"FaultInNmiLocksUp", 14, "lockup: load from unmapped address 0x5fff0000", 0},
        FaultCase{"UnalignedWordStore", 15, "HardFault: unaligned word store to 0x20001002", 0}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// The vector entry faults before any handler instruction: the report names
// the place the exception was taken, after the pending store.
TEST(FaultReport, MissingVectorStopsWhereTheExceptionWasTaken) {
    TestMachine m;
    ASSERT_TRUE(m.loadProgram(programPath("faults")));
    m.setSelect(9);
    m.resetAll();
    m.run(100'000);
    const auto recent = m.core().recentPcs();
    ASSERT_FALSE(recent.empty());
    EXPECT_EQ(m.core().stopInfo().reason,
              "HardFault: vector of exception 23 (0x0) lacks the Thumb bit");
    EXPECT_EQ(m.core().stopInfo().pc, recent.back() + 2);
}

TEST(FaultReport, NativeRoutineRunsForItsUdf) {
    TestMachine m;
    ASSERT_TRUE(m.loadProgram(programPath("faults")));
    m.setSelect(7);
    m.resetAll();
    m.run(100'000);
    EXPECT_EQ(m.nativeCalls(), 1u);
    ASSERT_GE(m.trace().size(), 1u);
    EXPECT_EQ(m.trace().front().value, 12u); // 5 + 7, returned through LR
}

TEST(FaultReport, RecentPcsKeepTheLast32InOrder) {
    TestMachine m;
    ASSERT_TRUE(m.loadProgram(programPath("loop")));
    m.setSelect(100);
    m.resetAll();
    for (int i = 0; i < 60; ++i) {
        ASSERT_GT(m.core().step(), 0u);
    }
    const auto recent = m.core().recentPcs();
    ASSERT_EQ(recent.size(), 32u);
    // Inside the loop: five instructions, two bytes apart, then back.
    for (std::size_t i = 1; i < recent.size(); ++i) {
        const std::uint32_t step = recent[i] - recent[i - 1];
        EXPECT_TRUE(step == 2 || step == static_cast<std::uint32_t>(-8)) << i;
    }
    EXPECT_EQ(m.core().instructions(), 60u);
}

TEST(FaultReport, ResetFailsOnAnUnreadableTable) {
    TestMachine m;
    auto& core = m.core();
    EXPECT_FALSE(core.reset(0x30000000u));
    EXPECT_EQ(core.state(), State::Stopped);
    EXPECT_EQ(core.stopInfo().reason, "reset: vector table at 0x30000000 cannot be read");
    // A table in ROM whose reset vector is even.
    const std::uint32_t table[2] = {0x20001000u, 0x00000200u};
    std::memcpy(m.rom().data(), table, sizeof table);
    EXPECT_FALSE(core.reset(0));
    EXPECT_EQ(core.stopInfo().reason, "HardFault: reset vector 0x200 lacks the Thumb bit");
    std::uint32_t good = 0x201;
    std::memcpy(m.rom().data() + 4, &good, 4);
    EXPECT_TRUE(core.reset(0));
    EXPECT_TRUE(core.running());
    EXPECT_EQ(core.msp(), 0x20001000u);
    EXPECT_EQ(core.pc(), 0x200u);
    EXPECT_EQ(core.vtor(), 0u);
}

} // namespace
} // namespace armtest
