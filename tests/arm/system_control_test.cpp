// The core's private peripherals as software and the chip reach them:
// SysTick counting against the clock, the NVIC's level lines and pending
// bits, and the system control block's registers.
#include "test_machine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace armtest {
namespace {

constexpr std::uint32_t kCsr = 0xE000E010u, kRvr = 0xE000E014u, kCvr = 0xE000E018u;
constexpr std::uint32_t kCalib = 0xE000E01Cu;
constexpr std::uint32_t kIser = 0xE000E100u, kIcer = 0xE000E180u;
constexpr std::uint32_t kIspr = 0xE000E200u, kIcpr = 0xE000E280u, kIpr0 = 0xE000E400u;
constexpr std::uint32_t kCpuid = 0xE000ED00u, kIcsr = 0xE000ED04u, kVtor = 0xE000ED08u;
constexpr std::uint32_t kAircr = 0xE000ED0Cu, kScr = 0xE000ED10u, kCcr = 0xE000ED14u;
constexpr std::uint32_t kShpr2 = 0xE000ED1Cu, kShpr3 = 0xE000ED20u, kShcsr = 0xE000ED24u;
constexpr std::uint32_t kCountFlag = 1u << 16;
constexpr std::uint32_t kPendStSet = 1u << 26;

std::uint32_t peek(sim::arm::Core& core, std::uint32_t address) {
    std::uint32_t value = 0xDEADBEEFu;
    EXPECT_TRUE(core.read(address, 4, value)) << std::hex << address;
    return value;
}

void poke(sim::arm::Core& core, std::uint32_t address, std::uint32_t value) {
    EXPECT_TRUE(core.write(address, 4, value)) << std::hex << address;
}

TEST(SysTick, CountsReloadsAndWrapsExactly) {
    TestMachine m;
    auto& core = m.core();
    EXPECT_EQ(core.cyclesToSysTick(), UINT64_MAX); // off after reset
    poke(core, kRvr, 0xFF000009u);                 // 24 bits kept
    EXPECT_EQ(peek(core, kRvr), 9u);
    poke(core, kCvr, 1234);
    EXPECT_EQ(peek(core, kCvr), 0u); // any write clears it
    poke(core, kCsr, 7);             // enable, interrupt, processor clock
    // From zero: one count reloads, nine more reach zero.
    EXPECT_EQ(core.cyclesToSysTick(), 10u);
    core.tick(3);
    EXPECT_EQ(peek(core, kCvr), 7u);
    EXPECT_EQ(core.cyclesToSysTick(), 7u);
    core.tick(6);
    EXPECT_EQ(peek(core, kIcsr) & kPendStSet, 0u);
    core.tick(1);
    EXPECT_EQ(peek(core, kCvr), 0u);
    EXPECT_NE(peek(core, kIcsr) & kPendStSet, 0u);
    EXPECT_EQ(peek(core, kCsr), 7u | kCountFlag); // a debugger read keeps the flag
    EXPECT_EQ(core.cyclesToSysTick(), 10u);
    // 25 counts: two more wraps, then reload and four counts down.
    core.tick(25);
    EXPECT_EQ(peek(core, kCvr), 5u);
    EXPECT_EQ(core.cyclesToSysTick(), 5u);
    // A huge skip lands where single steps would.
    core.tick(10ull * 1'000'000'007ull + 3);
    EXPECT_EQ(peek(core, kCvr), 2u);
}

TEST(SysTick, StopsWithoutItsClockOrReload) {
    TestMachine m;
    auto& core = m.core();
    poke(core, kRvr, 99);
    poke(core, kCsr, 3); // the reference clock, which the core does not count
    core.tick(1000);
    EXPECT_EQ(peek(core, kCvr), 0u);
    EXPECT_EQ(core.cyclesToSysTick(), UINT64_MAX);
    poke(core, kRvr, 0);
    poke(core, kCsr, 7);
    core.tick(1000); // a zero reload never wraps
    EXPECT_EQ(core.cyclesToSysTick(), UINT64_MAX);
    EXPECT_EQ(peek(core, kIcsr) & kPendStSet, 0u);
    EXPECT_EQ(peek(core, kCalib), 0u);
}

TEST(Nvic, LevelLinesPendUntilLowAndHandled) {
    TestMachine m;
    auto& core = m.core();
    poke(core, kIser, 0x5);
    poke(core, kIcer, 0x4);
    EXPECT_EQ(core.irqEnabled(), 0x1u);
    EXPECT_EQ(peek(core, kIser), 0x1u);
    core.setIrqLine(3, true);
    EXPECT_EQ(core.irqLines(), 0x8u);
    EXPECT_EQ(core.irqPending(), 0x8u);
    // Clearing a pending bit while the line is high pends it again.
    poke(core, kIcpr, 0x8);
    EXPECT_EQ(core.irqPending(), 0x8u);
    core.setIrqLine(3, false);
    EXPECT_EQ(core.irqPending(), 0x8u); // latched
    poke(core, kIcpr, 0x8);
    EXPECT_EQ(core.irqPending(), 0u);
    poke(core, kIspr, 0x10);
    EXPECT_EQ(peek(core, kIspr), 0x10u);
    EXPECT_EQ(peek(core, kIcpr), 0x10u);
    core.setIrqLine(40, true); // no such line
    EXPECT_EQ(core.irqLines(), 0u);
}

TEST(Nvic, PrioritiesKeepTheirTopTwoBits) {
    TestMachine m;
    auto& core = m.core();
    poke(core, kIpr0 + 4, 0xFFC08040u);
    EXPECT_EQ(peek(core, kIpr0 + 4), 0xC0C08040u);
    EXPECT_EQ(core.irqPriority(4), 0x40u);
    EXPECT_EQ(core.irqPriority(7), 0xC0u);
    poke(core, kShpr2, 0xFFFFFFFFu);
    EXPECT_EQ(peek(core, kShpr2), 0xC0000000u);
    poke(core, kShpr3, 0xFFFFFFFFu);
    EXPECT_EQ(peek(core, kShpr3), 0xC0C00000u);
}

TEST(SystemControl, IdentificationAndFixedRegisters) {
    TestMachine m;
    auto& core = m.core();
    EXPECT_EQ(peek(core, kCpuid), 0x410CC601u);
    poke(core, kCcr, 0);
    EXPECT_EQ(peek(core, kCcr), 0x208u);
    EXPECT_EQ(peek(core, kAircr), 0xFA050000u);
    poke(core, kVtor, 0x200001FFu);
    EXPECT_EQ(peek(core, kVtor), 0x20000100u);
    EXPECT_EQ(core.vtor(), 0x20000100u);
    poke(core, kScr, 0xFFu);
    EXPECT_EQ(peek(core, kScr), 0x16u);
    // Unmodelled registers of the control space read as zero (no MPU);
    // the rest of the private bus does not answer.
    EXPECT_EQ(peek(core, 0xE000ED90u), 0u);
    std::uint32_t value = 0;
    EXPECT_FALSE(core.read(0xE0001000u, 4, value));
    EXPECT_FALSE(core.read(kCpuid, 1, value));
}

TEST(SystemControl, IcsrPendsAndReportsExceptions) {
    TestMachine m;
    auto& core = m.core();
    EXPECT_EQ(peek(core, kIcsr), 0u);
    poke(core, kIcsr, 1u << 28); // PENDSVSET
    EXPECT_EQ(peek(core, kIcsr), (1u << 28) | (14u << 12));
    poke(core, kIcsr, 1u << 27); // PENDSVCLR
    EXPECT_EQ(peek(core, kIcsr), 0u);
    // A disabled interrupt pends but is not the pending vector.
    poke(core, kIspr, 0x2);
    EXPECT_EQ(peek(core, kIcsr), 0u);
    poke(core, kIser, 0x2);
    EXPECT_EQ(peek(core, kIcsr), (1u << 22) | (17u << 12));
    poke(core, kIcsr, 1u << 31); // NMI beats everything
    EXPECT_EQ(peek(core, kIcsr), (1u << 31) | (1u << 22) | (2u << 12));
    poke(core, kShcsr, 1u << 15);
    EXPECT_EQ(peek(core, kShcsr), 1u << 15);
    poke(core, kShcsr, 0);
    EXPECT_EQ(peek(core, kShcsr), 0u);
}

// SYSRESETREQ with the key reaches the chip once the store is done, so the
// chip may reset the core from its callback.
TEST(SystemControl, ResetRequestNeedsTheKey) {
    TestMachine m;
    auto& core = m.core();
    const std::uint32_t table[2] = {0x20002000u, 0x20000201u};
    std::memcpy(m.ram().data(), table, sizeof table);
    const std::uint16_t code[] = {0x6008, 0x6048}; // STR r0, [r1]; STR r0, [r1, #4]
    std::memcpy(&m.ram()[0x100], code, sizeof code);
    int requests = 0;
    core.onResetRequest([&] {
        ++requests;
        core.reset(kRamBase);
    });
    core.resetRegisters();
    core.setPc(0x20000100u);
    core.setReg(0, 0x12340004u); // wrong key
    core.setReg(1, kAircr);
    EXPECT_EQ(core.step(), 2u);
    EXPECT_EQ(requests, 0);
    core.setPc(0x20000100u);
    core.setReg(0, 0x05FA0004u);
    EXPECT_EQ(core.step(), 2u);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(core.pc(), 0x20000200u);
    EXPECT_EQ(core.msp(), 0x20002000u);
    EXPECT_EQ(core.reg(0), 0u);
}

} // namespace
} // namespace armtest
