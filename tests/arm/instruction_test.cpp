// Single instructions from a table: the result, the flags and the cycles of
// each, on the cases where the architecture is easy to get wrong (shifts by
// 32 and more, carries into ADC/SBC, C and V kept by MULS and MOVS, writeback
// rules of LDM/STM, interworking branches, the special registers).
#include "test_machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

namespace armtest {
namespace {

// The case's instruction goes after an MSR APSR that sets its input flags.
constexpr std::uint32_t kCode = 0x20000100u;
constexpr std::uint32_t kInsn = kCode + 4;
constexpr std::uint32_t kStack = 0x20002000u;
constexpr std::uint32_t kData = 0x20001000u;

struct Case {
    std::string name;
    std::vector<std::uint16_t> code;
    std::vector<std::pair<unsigned, std::uint32_t>> regsIn, regsOut;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> memIn, memOut;
    std::uint32_t flagsIn = 0;  // NZCV as bits 3..0
    std::uint32_t flagsOut = 0; // NZCV as bits 3..0
    unsigned cycles = 1;
    std::uint32_t pcOut = 0; // 0: the next instruction

    Case(std::string n, std::vector<std::uint16_t> c) : name(std::move(n)), code(std::move(c)) {}
    Case& in(unsigned r, std::uint32_t v) { return regsIn.emplace_back(r, v), *this; }
    Case& out(unsigned r, std::uint32_t v) { return regsOut.emplace_back(r, v), *this; }
    Case& memory(std::uint32_t a, std::uint32_t v) { return memIn.emplace_back(a, v), *this; }
    Case& stored(std::uint32_t a, std::uint32_t v) { return memOut.emplace_back(a, v), *this; }
    Case& flags(std::uint32_t before, std::uint32_t after) {
        flagsIn = before;
        flagsOut = after;
        return *this;
    }
    Case& takes(unsigned c) { return cycles = c, *this; }
    Case& jumps(std::uint32_t pc) { return pcOut = pc, *this; }
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

constexpr std::uint32_t N = 8, Z = 4, C = 2, V = 1;

std::vector<Case> cases() {
    std::vector<Case> t;
    // Add and subtract: NZCV from the full sum.
    t.push_back(Case("AddsOverflow", {0x1888})
                    .in(1, 0x7FFFFFFF)
                    .in(2, 1)
                    .out(0, 0x80000000)
                    .flags(0, N | V));
    t.push_back(
        Case("AddsCarryToZero", {0x1888}).in(1, 0xFFFFFFFF).in(2, 1).out(0, 0).flags(0, Z | C));
    t.push_back(Case("SubsBorrow", {0x1A88}).in(1, 0).in(2, 1).out(0, 0xFFFFFFFF).flags(C, N));
    t.push_back(Case("SubsEqual", {0x1A88}).in(1, 5).in(2, 5).out(0, 0).flags(0, Z | C));
    t.push_back(Case("AdcsCarryIn", {0x4148}).in(0, 0xFFFFFFFF).in(1, 0).out(0, 0).flags(C, Z | C));
    t.push_back(Case("AdcsOverflow", {0x4148})
                    .in(0, 0x7FFFFFFF)
                    .in(1, 0)
                    .out(0, 0x80000000)
                    .flags(C, N | V));
    t.push_back(
        Case("SbcsWithoutCarry", {0x4188}).in(0, 5).in(1, 5).out(0, 0xFFFFFFFF).flags(0, N));
    t.push_back(Case("SbcsWithCarry", {0x4188}).in(0, 5).in(1, 5).out(0, 0).flags(C, Z | C));
    t.push_back(Case("SbcsOverflow", {0x4188})
                    .in(0, 0x80000000)
                    .in(1, 1)
                    .out(0, 0x7FFFFFFF)
                    .flags(C, C | V));
    t.push_back(Case("RsbsOne", {0x4248}).in(1, 1).out(0, 0xFFFFFFFF).flags(0, N));
    t.push_back(Case("RsbsZero", {0x4248}).in(1, 0).out(0, 0).flags(0, Z | C));
    t.push_back(Case("RsbsMinimum", {0x4248}).in(1, 0x80000000).out(0, 0x80000000).flags(0, N | V));
    t.push_back(Case("CmpImmediate", {0x2805}).in(0, 3).out(0, 3).flags(Z, N));
    t.push_back(
        Case("CmnToZero", {0x42C8}).in(0, 0xFFFFFFFF).in(1, 1).out(0, 0xFFFFFFFF).flags(0, Z | C));
    t.push_back(Case("CmpHighRegisters", {0x45C8}).in(8, 7).in(9, 7).flags(N, Z | C));
    // Logic, moves and multiply keep C and V.
    t.push_back(Case("MulsKeepsCV", {0x4348})
                    .in(0, 0x10000)
                    .in(1, 0x10000)
                    .out(0, 0)
                    .flags(C | V, Z | C | V));
    t.push_back(Case("MovsKeepsCV", {0x2080}).out(0, 0x80).flags(N | C | V, C | V));
    t.push_back(Case("BicsAndMvns", {0x4388})
                    .in(0, 0xFF00FF00)
                    .in(1, 0xF0F0F0F0)
                    .out(0, 0x0F000F00)
                    .flags(C, C));
    t.push_back(
        Case("MvnsNegative", {0x43C8}).in(1, 0x7FFFFFFF).out(0, 0x80000000).flags(V, N | V));
    t.push_back(Case("TstZero", {0x4208}).in(0, 0xF0).in(1, 0x0F).out(0, 0xF0).flags(N, Z));
    // Shifts by immediate: 0 means LSL none, LSR/ASR 32.
    t.push_back(
        Case("LslsZeroIsMove", {0x0008}).in(1, 0x80000000).out(0, 0x80000000).flags(C, N | C));
    t.push_back(Case("LslsByOneCarriesOut", {0x0048}).in(1, 0x80000001).out(0, 2).flags(0, C));
    t.push_back(Case("LsrsImmediate32", {0x0808}).in(1, 0x80000000).out(0, 0).flags(0, Z | C));
    t.push_back(Case("AsrsBy32", {0x1008}).in(1, 0x80000000).out(0, 0xFFFFFFFF).flags(0, N | C));
    // Shifts by register: the bottom byte counts, 32 and more empty the value.
    t.push_back(Case("LslsBy32", {0x4088}).in(0, 1).in(1, 32).out(0, 0).flags(0, Z | C));
    t.push_back(Case("LslsBy33", {0x4088}).in(0, 1).in(1, 33).out(0, 0).flags(C, Z));
    t.push_back(
        Case("LslsBottomByte", {0x4088}).in(0, 0x80000001).in(1, 0x101).out(0, 2).flags(0, C));
    t.push_back(Case("LsrsBy32", {0x40C8}).in(0, 0x80000000).in(1, 32).out(0, 0).flags(0, Z | C));
    t.push_back(Case("LsrsByZeroKeepsC", {0x40C8})
                    .in(0, 0x80000000)
                    .in(1, 0x100)
                    .out(0, 0x80000000)
                    .flags(C, N | C));
    t.push_back(
        Case("AsrsBy40", {0x4108}).in(0, 0x80000000).in(1, 40).out(0, 0xFFFFFFFF).flags(0, N | C));
    t.push_back(
        Case("AsrsPositiveBy255", {0x4108}).in(0, 0x40000000).in(1, 255).out(0, 0).flags(C, Z));
    t.push_back(
        Case("RorsBy32", {0x41C8}).in(0, 0x80000001).in(1, 32).out(0, 0x80000001).flags(0, N | C));
    t.push_back(Case("RorsBy4", {0x41C8}).in(0, 0xF).in(1, 4).out(0, 0xF0000000).flags(0, N | C));
    // Extend and reverse.
    t.push_back(Case("Rev", {0xBA08}).in(1, 0x11223344).out(0, 0x44332211));
    t.push_back(Case("Rev16", {0xBA48}).in(1, 0x11223344).out(0, 0x22114433));
    t.push_back(Case("Revsh", {0xBAC8}).in(1, 0x11223380).out(0, 0xFFFF8033));
    t.push_back(Case("Sxtb", {0xB248}).in(1, 0x12345680).out(0, 0xFFFFFF80));
    t.push_back(Case("Sxth", {0xB208}).in(1, 0x12348000).out(0, 0xFFFF8000));
    t.push_back(Case("Uxtb", {0xB2C8}).in(1, 0x12345680).out(0, 0x80));
    t.push_back(Case("Uxth", {0xB288}).in(1, 0x12345680).out(0, 0x5680));
    // High registers, PC as an operand, SP arithmetic.
    t.push_back(Case("AddHighNoFlags", {0x44C8})
                    .in(8, 1)
                    .in(9, 2)
                    .out(8, 3)
                    .flags(N | Z | C | V, N | Z | C | V));
    t.push_back(Case("MovHigh", {0x4688}).in(1, 0xABCD).out(8, 0xABCD));
    t.push_back(Case("AddPcOperand", {0x4478}).in(0, 0x10).out(0, kInsn + 4 + 0x10));
    t.push_back(Case("Adr", {0xA002}).out(0, ((kInsn + 4) & ~3u) + 8));
    t.push_back(Case("AddRdSp", {0xA804}).out(0, kStack + 16));
    t.push_back(Case("AddSp", {0xB07F}).out(13, kStack + 508));
    t.push_back(Case("SubSp", {0xB081}).out(13, kStack - 4));
    // Loads and stores: two cycles, three more for the slow register, one
    // on the I/O port.
    t.push_back(Case("LdrImmediate", {0x6848})
                    .in(1, kData)
                    .memory(kData + 4, 0xCAFEF00D)
                    .out(0, 0xCAFEF00D)
                    .takes(2));
    t.push_back(Case("LdrLiteral", {0x4801})
                    .memory(((kInsn + 4) & ~3u) + 4, 0x600DF00D)
                    .out(0, 0x600DF00D)
                    .takes(2));
    t.push_back(Case("LdrsbNegative", {0x5688})
                    .in(1, kData)
                    .in(2, 1)
                    .memory(kData, 0x00008000)
                    .out(0, 0xFFFFFF80)
                    .takes(2));
    t.push_back(Case("LdrshNegative", {0x5E88})
                    .in(1, kData)
                    .in(2, 2)
                    .memory(kData, 0x80010000)
                    .out(0, 0xFFFF8001)
                    .takes(2));
    t.push_back(Case("LdrbZeroExtends", {0x7848})
                    .in(1, kData)
                    .memory(kData, 0x0000F000)
                    .out(0, 0xF0)
                    .takes(2));
    t.push_back(Case("LdrhImmediate", {0x8848})
                    .in(1, kData)
                    .memory(kData, 0xBEEF0000)
                    .out(0, 0xBEEF)
                    .takes(2));
    t.push_back(Case("StrbLeavesNeighbours", {0x7048})
                    .in(0, 0x1234)
                    .in(1, kData)
                    .memory(kData, 0xAAAAAAAA)
                    .stored(kData, 0xAAAA34AA)
                    .takes(2));
    t.push_back(Case("StrhRegisterOffset", {0x5288})
                    .in(0, 0x12345678)
                    .in(1, kData)
                    .in(2, 2)
                    .stored(kData, 0x56780000)
                    .takes(2));
    t.push_back(Case("StrSpRelative", {0x9001}).in(0, 0x77).stored(kStack + 4, 0x77).takes(2));
    t.push_back(Case("LdrSlowRegister", {0x6808})
                    .in(1, kDevSlow)
                    .out(0, 0x5A5A5A5A)
                    .takes(2 + kSlowWaitStates));
    t.push_back(Case("StrIoPort", {0x6008}).in(0, 9).in(1, kIoPort).takes(1));
    // Multiple registers: 1 + N, POP with PC 3 + N.
    t.push_back(Case("PushWithLr", {0xB503})
                    .in(0, 10)
                    .in(1, 11)
                    .in(14, 0x1FF)
                    .out(13, kStack - 12)
                    .stored(kStack - 12, 10)
                    .stored(kStack - 8, 11)
                    .stored(kStack - 4, 0x1FF)
                    .takes(4));
    t.push_back(Case("Pop", {0xBC03})
                    .in(13, kData)
                    .memory(kData, 1)
                    .memory(kData + 4, 2)
                    .out(0, 1)
                    .out(1, 2)
                    .out(13, kData + 8)
                    .takes(3));
    t.push_back(Case("PopPc", {0xBD01})
                    .in(13, kData)
                    .memory(kData, 7)
                    .memory(kData + 4, 0x20000301)
                    .out(0, 7)
                    .out(13, kData + 8)
                    .takes(5)
                    .jumps(0x20000300));
    t.push_back(Case("StmWritesBack", {0xC003})
                    .in(0, kData)
                    .in(1, 5)
                    .stored(kData, kData)
                    .stored(kData + 4, 5)
                    .out(0, kData + 8)
                    .takes(3));
    t.push_back(Case("LdmBaseInListNoWriteback", {0xC803})
                    .in(0, kData)
                    .memory(kData, 0x11)
                    .memory(kData + 4, 0x22)
                    .out(0, 0x11)
                    .out(1, 0x22)
                    .takes(3));
    t.push_back(Case("LdmWritesBack", {0xC806})
                    .in(0, kData)
                    .memory(kData, 0x11)
                    .memory(kData + 4, 0x22)
                    .out(0, kData + 8)
                    .out(1, 0x11)
                    .out(2, 0x22)
                    .takes(3));
    // Branches.
    t.push_back(Case("BeqTaken", {0xD002}).flags(Z, Z).takes(2).jumps(kInsn + 8));
    t.push_back(Case("BeqNotTaken", {0xD002}).takes(1));
    t.push_back(Case("BgtSignedCompare", {0xDC02}).flags(N | V, N | V).takes(2).jumps(kInsn + 8));
    t.push_back(Case("BhiNeedsCarryAndNotZero", {0xD802}).flags(C | Z, C | Z).takes(1));
    t.push_back(Case("BackwardBranch", {0xE7FE}).takes(2).jumps(kInsn));
    t.push_back(
        Case("BlForward", {0xF000, 0xF802}).out(14, (kInsn + 4) | 1).takes(3).jumps(kInsn + 8));
    t.push_back(
        Case("BlBackward", {0xF7FF, 0xFFFE}).out(14, (kInsn + 4) | 1).takes(3).jumps(kInsn));
    t.push_back(Case("Bx", {0x4708}).in(1, 0x20000201).takes(2).jumps(0x20000200));
    t.push_back(Case("Blx", {0x4788})
                    .in(1, 0x20000201)
                    .out(14, (kInsn + 2) | 1)
                    .takes(2)
                    .jumps(0x20000200));
    t.push_back(Case("MovPc", {0x468F}).in(1, 0x20000301).takes(2).jumps(0x20000300));
    // Special registers, barriers, hints.
    t.push_back(Case("MrsApsr", {0xF3EF, 0x8000}).out(0, 0xA0000000).flags(N | C, N | C).takes(3));
    t.push_back(
        Case("MrsXpsrInThread", {0xF3EF, 0x8003}).out(0, 0x60000000).flags(Z | C, Z | C).takes(3));
    t.push_back(Case("MrsEpsrReadsZero", {0xF3EF, 0x8006}).in(0, 5).out(0, 0).flags(Z, Z).takes(3));
    t.push_back(
        Case("MsrIpsrIgnoresFlags", {0xF380, 0x8805}).in(0, 0xF0000000).flags(0, 0).takes(3));
    t.push_back(Case("MsrPsp", {0xF380, 0x8809}).in(0, 0x20003007).takes(3));
    t.push_back(Case("Dmb", {0xF3BF, 0x8F5F}).takes(3));
    t.push_back(Case("Dsb", {0xF3BF, 0x8F4F}).takes(3));
    t.push_back(Case("Isb", {0xF3BF, 0x8F6F}).takes(3));
    t.push_back(Case("Nop", {0xBF00}).takes(1));
    t.push_back(Case("Yield", {0xBF10}).takes(1));
    t.push_back(Case("Cpsid", {0xB672}).takes(1));
    return t;
}

class Instructions : public ::testing::TestWithParam<Case> {};

TEST_P(Instructions, ResultFlagsAndCycles) {
    const Case& c = GetParam();
    TestMachine m;
    auto& core = m.core();
    const std::uint16_t msrApsr[2] = {0xF38C, 0x8800}; // MSR APSR, r12
    std::memcpy(&m.ram()[kCode - kRamBase], msrApsr, 4);
    std::memcpy(&m.ram()[kInsn - kRamBase], c.code.data(), 2 * c.code.size());
    for (const auto& [address, value] : c.memIn) {
        std::memcpy(&m.ram()[address - kRamBase], &value, 4);
    }
    core.resetRegisters();
    core.setMsp(kStack);
    core.setPc(kCode);
    core.setReg(12, c.flagsIn << 28);
    for (const auto& [r, value] : c.regsIn) {
        core.setReg(r, value);
    }
    ASSERT_EQ(core.step(), 3u);
    EXPECT_EQ(core.step(), c.cycles);
    EXPECT_TRUE(core.running()) << core.stopInfo().reason;
    EXPECT_EQ(core.pc(), c.pcOut != 0 ? c.pcOut : kInsn + 2 * c.code.size());
    EXPECT_EQ(core.xpsr() >> 28, c.flagsOut);
    for (const auto& [r, value] : c.regsOut) {
        EXPECT_EQ(core.reg(r), value) << "r" << r;
    }
    for (const auto& [address, value] : c.memOut) {
        EXPECT_EQ(m.ramWord(address), value) << std::hex << address;
    }
}

INSTANTIATE_TEST_SUITE_P(Thumb, Instructions, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return info.param.name;
                         });

// Effects beyond registers: PRIMASK, the stack pointers, sleep states.
TEST(InstructionEffects, SpecialRegisterWritesAndSleep) {
    TestMachine m;
    auto& core = m.core();
    const std::uint16_t code[] = {
        0xF380, 0x8810, // MSR PRIMASK, r0
        0xF380, 0x8809, // MSR PSP, r0 (low bits dropped)
        0x2102,         // MOVS r1, #2
        0xF381, 0x8814, // MSR CONTROL, r1: Thread mode onto PSP
        0xBF30,         // WFI
    };
    std::memcpy(&m.ram()[kCode - kRamBase], code, sizeof code);
    core.resetRegisters();
    core.setMsp(kStack);
    core.setPc(kCode);
    core.setReg(0, 0x20003007);
    EXPECT_EQ(core.step(), 3u);
    EXPECT_TRUE(core.primask());
    EXPECT_EQ(core.step(), 3u);
    EXPECT_EQ(core.psp(), 0x20003004u);
    EXPECT_EQ(core.step(), 1u);
    EXPECT_EQ(core.step(), 3u);
    EXPECT_EQ(core.control(), 2u);
    EXPECT_EQ(core.reg(13), 0x20003004u);
    EXPECT_EQ(core.msp(), kStack);
    EXPECT_EQ(core.step(), 2u);
    EXPECT_EQ(core.state(), sim::arm::Core::State::Sleeping);
    EXPECT_EQ(core.step(), 0u);
    // A pending interrupt wakes WFI even under PRIMASK, without being taken.
    core.write(0xE000E100u, 4, 1u); // ISER
    core.setIrqLine(0, true);
    EXPECT_GT(core.step(), 0u);
    EXPECT_TRUE(core.running());
    EXPECT_EQ(core.currentException(), 0u);
    EXPECT_EQ(core.irqPending(), 1u);
}

} // namespace
} // namespace armtest
