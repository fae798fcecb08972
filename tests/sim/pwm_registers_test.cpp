// The PWM block as the bus fabric reaches it: the integer divider of 0,
// EN mirroring CSR.EN, the counter read back, wrap flags
// latched at the exact wrap time in both counting modes, write-1-to-clear,
// PWM_IRQ_WRAP with its enables and forces, TOP and CC waiting for the wrap,
// and the phase-correct count with its outputs.
#include "chip_bench.h"

namespace {

using P = sim::Pwm;

std::uint32_t reg(unsigned slice, std::uint32_t offset) {
    return slice * P::kSliceStride + offset;
}

class PwmRegistersTest : public ChipBench {
protected:
    void runTo(sim::Time t) { ASSERT_TRUE(sim.runUntil(t)); }
    sim::RegisterBlock& pwm = chip.pwm;
};

TEST_F(PwmRegistersTest, AnIntegerDividerOf0Means256AndReadsBackAs0) {
    for (unsigned slice = 0; slice < P::kSlices; ++slice) {
        SCOPED_TRACE(slice);
        pwm.write(reg(slice, P::kDiv), 0x003);
        EXPECT_EQ(chip.pwm.slice(slice).divider, 256 * 16 + 3);
        EXPECT_EQ(pwm.read(reg(slice, P::kDiv)), 0x003u);
    }
}

TEST_F(PwmRegistersTest, EnMirrorsTheSlicesEnableBits) {
    pwm.write(reg(2, P::kCsr), 1);
    pwm.write(reg(5, P::kCsr), 1);
    EXPECT_EQ(pwm.read(P::kEn), 0x24u);
    pwm.write(P::kEn, 0x81);
    EXPECT_EQ(pwm.read(P::kEn), 0x81u);
    EXPECT_EQ(pwm.read(reg(0, P::kCsr)) & 1u, 1u);
    EXPECT_EQ(pwm.read(reg(2, P::kCsr)) & 1u, 0u);
    EXPECT_TRUE(chip.pwm.slice(7).enabled);
}

TEST_F(PwmRegistersTest, WrapFlagsLatchAtTheWrapAndClearOnWriteOne) {
    // Divider 1.5: one count per 12 ns. Free-running, TOP 9: a wrap every 120 ns.
    // Phase-correct, TOP 9: up and down, a wrap every 2 * 10 counts, 240 ns.
    struct Case {
        unsigned slice;
        std::uint32_t csr;
        sim::Time period;
    };
    const Case cases[] = {{1, 0x1, 120}, {6, 0x3, 240}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slice);
        const std::uint32_t bit = 1u << c.slice;
        const sim::Time start = sim.now();
        pwm.write(reg(c.slice, P::kDiv), 0x18);
        pwm.write(reg(c.slice, P::kTop), 9);
        pwm.write(reg(c.slice, P::kCsr), c.csr);
        runTo(start + 4 * 12);
        EXPECT_EQ(pwm.read(reg(c.slice, P::kCtr)), 4u);
        runTo(start + c.period - 1);
        EXPECT_EQ(pwm.read(P::kIntr), 0u);
        runTo(start + c.period);
        EXPECT_EQ(pwm.read(P::kIntr), bit);
        EXPECT_EQ(pwm.read(reg(c.slice, P::kCtr)), 0u);
        // Still set a few periods later; cleared, it comes back at the next wrap.
        runTo(start + 3 * c.period + 5);
        EXPECT_EQ(pwm.read(P::kIntr), bit);
        pwm.write(P::kIntr, 0xff);
        EXPECT_EQ(pwm.read(P::kIntr), 0u);
        runTo(start + 4 * c.period - 1);
        EXPECT_EQ(pwm.read(P::kIntr), 0u);
        runTo(start + 4 * c.period);
        EXPECT_EQ(pwm.read(P::kIntr), bit);
        pwm.write(reg(c.slice, P::kCsr), 0);
        pwm.write(P::kIntr, bit);
    }
}

TEST_F(PwmRegistersTest, TheWrapInterruptFollowsEnablesAndForces) {
    pwm.write(reg(3, P::kTop), 99);
    pwm.write(reg(3, P::kCsr), 1); // 8 ns a count: wraps every 800 ns
    runTo(800);
    EXPECT_EQ(pwm.read(P::kIntr), 0x8u);
    EXPECT_FALSE(chip.irqLine(P::kPwmIrqWrap));
    pwm.write(P::kInte, 0x8);
    EXPECT_EQ(pwm.read(P::kInts), 0x8u);
    EXPECT_TRUE(chip.irqLine(P::kPwmIrqWrap));
    pwm.write(P::kIntr, 0x8);
    EXPECT_FALSE(chip.irqLine(P::kPwmIrqWrap));
    pwm.write(P::kIntf, 0x40);
    EXPECT_EQ(pwm.read(P::kInts), 0x40u);
    EXPECT_TRUE(chip.irqLine(P::kPwmIrqWrap));
    pwm.write(P::kIntf, 0);
    runTo(1600);
    EXPECT_TRUE(chip.irqLine(P::kPwmIrqWrap));
}

TEST_F(PwmRegistersTest, PhaseStrobesStepTheCountOnceAndReadAsZero) {
    pwm.write(reg(0, P::kTop), 999);
    pwm.write(reg(0, P::kCsr), 1);
    runTo(80); // count 10
    pwm.write(reg(0, P::kCsr), 1 | P::kCsrPhAdv);
    EXPECT_EQ(pwm.read(reg(0, P::kCtr)), 11u);
    EXPECT_EQ(pwm.read(reg(0, P::kCsr)), 1u);
    pwm.write(reg(0, P::kCsr), 1 | P::kCsrPhRet);
    pwm.write(reg(0, P::kCsr), 1 | P::kCsrPhRet);
    EXPECT_EQ(pwm.read(reg(0, P::kCtr)), 9u);
}

TEST_F(PwmRegistersTest, TopAndCompareWaitForTheWrapWhileTheSliceRuns) {
    // 8 ns a count; TOP 99 and level 50: high for 400 ns of each 800.
    pwm.write(reg(2, P::kTop), 99);
    pwm.write(reg(2, P::kCc), 50);
    pwm.write(reg(2, P::kCsr), 1);
    runTo(200); // count 25
    pwm.write(reg(2, P::kTop), 49);
    pwm.write(reg(2, P::kCc), 10);
    EXPECT_EQ(pwm.read(reg(2, P::kTop)), 49u); // the registers read back at once
    EXPECT_EQ(pwm.read(reg(2, P::kCc)), 10u);
    EXPECT_TRUE(chip.pwm.output(2, 0)); // 25 is still below the old level
    runTo(792);
    EXPECT_EQ(pwm.read(reg(2, P::kCtr)), 99u); // the old TOP
    EXPECT_FALSE(chip.pwm.output(2, 0));
    runTo(800 + 72); // count 9 under the new TOP and level
    EXPECT_TRUE(chip.pwm.output(2, 0));
    runTo(800 + 80);
    EXPECT_FALSE(chip.pwm.output(2, 0));
    runTo(1200 + 48); // the new period is 400 ns
    EXPECT_EQ(pwm.read(reg(2, P::kCtr)), 6u);
    // A stopped slice takes a write at once: its count stays at 6.
    pwm.write(reg(2, P::kCsr), 0);
    pwm.write(reg(2, P::kCc), 5);
    EXPECT_FALSE(chip.pwm.output(2, 0));
    EXPECT_EQ(chip.pwm.slice(2).levelA, 5u);
}

TEST_F(PwmRegistersTest, PhaseCorrectCountsUpAndDownStayingOneStepAtEachEnd) {
    // TOP 3, level 2, 8 ns a count: a period of 2 * 4 counts, high for 4.
    pwm.write(reg(4, P::kTop), 3);
    pwm.write(reg(4, P::kCc), 2);
    pwm.write(reg(4, P::kCsr), 0x3);
    const unsigned counts[] = {0, 1, 2, 3, 3, 2, 1, 0, 0, 1};
    for (unsigned k = 0; k < std::size(counts); ++k) {
        SCOPED_TRACE(k);
        runTo(8 * k);
        EXPECT_EQ(pwm.read(reg(4, P::kCtr)), counts[k]);
        EXPECT_EQ(chip.pwm.output(4, 0), counts[k] < 2);
        EXPECT_EQ(pwm.read(P::kIntr), k < 8 ? 0u : 0x10u);
    }
}

} // namespace
