// SPI0 as the bus fabric reaches it (reset values and writable bits:
// every_block_registers_test): frame
// timing over formats and dividers, back-to-back frames from the FIFO, FIFO
// flags and levels, overrun, receive timeout, loopback and the interrupt line.
#include "chip/gpio_access.h"
#include "chip_bench.h"

#include <optional>

namespace {

using sim::nanoseconds;
using S = sim::Spi;

class Probe : public sim::SpiDevice {
public:
    std::optional<std::uint16_t> clock(const sim::SpiFrame& frame) override {
        frames.push_back(frame);
        return answer++;
    }
    std::vector<sim::SpiFrame> frames;
    std::uint16_t answer = 0xA0;
};

class SpiRegistersTest : public ChipBench {
protected:
    SpiRegistersTest() {
        chip.spi.attach(probe, sim::SpiWiring{18, 19, 16});
        for (unsigned pin : {16u, 18u, 19u})
            sim::bank0::setFunction(chip.gpio, pin, sim::gpiofn::kSpi);
    }
    // 8-bit frames, prescaler 2, SCR 4: 80 ns per bit, 640 ns per frame.
    void configure(bool enable = true) {
        spi.write(S::kCpsr, 2);
        spi.write(S::kCr0, 7 | 4u << S::kCr0ScrShift);
        spi.write(S::kCr1, enable ? S::kCr1Sse : 0);
    }
    void runTo(sim::Time t) { ASSERT_TRUE(sim.runUntil(t)); }

    Probe probe;
    sim::RegisterBlock& spi = chip.spi;
};

TEST_F(SpiRegistersTest, AFrameLastsBitsTimesThePrescalerTimesTheSerialClockRate) {
    struct Case {
        unsigned bits, cpsdvsr, scr;
        sim::Time frame;
    };
    const Case cases[] = {
        {8, 2, 0, 8 * 2 * 1 * 8},       {16, 2, 0, 16 * 2 * 1 * 8},      {4, 2, 0, 4 * 2 * 1 * 8},
        {12, 4, 255, 12 * 4 * 256 * 8}, {16, 254, 9, 16 * 254 * 10 * 8}, {9, 6, 1, 9 * 6 * 2 * 8},
    };
    sim::Time at = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.cpsdvsr << ", " << c.scr);
        spi.write(S::kCr1, 0);
        spi.write(S::kCpsr, c.cpsdvsr);
        spi.write(S::kCr0, (c.bits - 1) | c.scr << S::kCr0ScrShift | S::kCr0Sph);
        spi.write(S::kCr1, S::kCr1Sse);
        runTo(at);
        probe.frames.clear();
        spi.write(S::kDr, 0xFFFF);
        EXPECT_EQ(spi.read(S::kSr) & S::kSrBsy, S::kSrBsy);
        runTo(at + c.frame - 1);
        EXPECT_EQ(spi.read(S::kSr) & (S::kSrBsy | S::kSrRne), S::kSrBsy);
        runTo(at + c.frame);
        EXPECT_EQ(spi.read(S::kSr) & (S::kSrBsy | S::kSrRne), S::kSrRne);
        ASSERT_EQ(probe.frames.size(), 1u);
        EXPECT_EQ(probe.frames[0].start, at);
        EXPECT_EQ(probe.frames[0].end, at + c.frame);
        EXPECT_EQ(probe.frames[0].bits, c.bits);
        EXPECT_TRUE(probe.frames[0].cpha);
        EXPECT_EQ(probe.frames[0].mosi, 0xFFFF & ((1u << c.bits) - 1));
        spi.read(S::kDr);
        at += c.frame + 1000;
    }
}

TEST_F(SpiRegistersTest, WaitingWordsGoBackToBackAndAnswersFillTheReceiveFifo) {
    configure(false);
    spi.write(S::kImsc, S::kIntRx);
    // Nine words into a disabled block: eight fit, the ninth is lost.
    for (std::uint32_t w = 1; w <= 9; ++w)
        spi.write(S::kDr, w);
    EXPECT_EQ(chip.spi.txLevel(), 8u);
    EXPECT_EQ(spi.read(S::kSr), S::kSrBsy); // full, not empty, nothing received
    EXPECT_EQ(spi.read(S::kRis), 0u);
    runTo(1000);
    EXPECT_TRUE(probe.frames.empty());

    spi.write(S::kCr1, S::kCr1Sse);
    EXPECT_EQ(spi.read(S::kSr), S::kSrBsy | S::kSrTnf);
    runTo(1000 + 4 * 640);
    ASSERT_EQ(probe.frames.size(), 5u); // the fifth has just started
    for (unsigned k = 0; k < 5; ++k) {
        EXPECT_EQ(probe.frames[k].start, 1000 + 640 * k);
        EXPECT_EQ(probe.frames[k].mosi, k + 1);
    }
    EXPECT_EQ(spi.read(S::kRis), S::kIntRx | S::kIntTx); // 4 received, 3 waiting
    EXPECT_TRUE(chip.irqLine(S::kSpi0Irq));
    runTo(1000 + 8 * 640);
    EXPECT_EQ(spi.read(S::kSr), S::kSrTfe | S::kSrTnf | S::kSrRne | S::kSrRff);
    EXPECT_EQ(probe.frames.size(), 8u);
    // Peek leaves the head in place; read pops it.
    EXPECT_EQ(spi.peek(S::kDr), 0xA0u);
    EXPECT_EQ(spi.read(S::kDr), 0xA0u);
    EXPECT_EQ(spi.read(S::kDr), 0xA1u);
    EXPECT_EQ(chip.spi.rxLevel(), 6u);
}

TEST_F(SpiRegistersTest, AFullReceiveFifoLosesTheAnswerWithAnOverrun) {
    configure();
    spi.write(S::kImsc, S::kIntRor);
    for (std::uint32_t w = 0; w < 8; ++w)
        spi.write(S::kDr, w);
    runTo(8 * 640);
    EXPECT_FALSE(chip.irqLine(S::kSpi0Irq));
    spi.write(S::kDr, 0x55);
    runTo(9 * 640);
    EXPECT_EQ(spi.read(S::kRis) & S::kIntRor, S::kIntRor);
    EXPECT_TRUE(chip.irqLine(S::kSpi0Irq));
    EXPECT_EQ(chip.spi.rxLevel(), 8u);
    EXPECT_EQ(spi.read(S::kDr), 0xA0u); // the oldest answer, not the lost one
    spi.write(S::kIcr, S::kIntRor);
    EXPECT_EQ(spi.read(S::kRis) & S::kIntRor, 0u);
    EXPECT_FALSE(chip.irqLine(S::kSpi0Irq));
}

TEST_F(SpiRegistersTest, UnreadWordsTimeOutAfterThirtyTwoBitPeriods) {
    configure();
    spi.write(S::kImsc, S::kIntRt);
    spi.write(S::kDr, 1);
    // The frame ends at 640 ns; 32 bits of 80 ns later the timeout is raised.
    runTo(640 + 32 * 80 - 1);
    EXPECT_EQ(spi.read(S::kRis) & S::kIntRt, 0u);
    runTo(640 + 32 * 80);
    EXPECT_EQ(spi.read(S::kMis), S::kIntRt);
    EXPECT_TRUE(chip.irqLine(S::kSpi0Irq));
    spi.write(S::kIcr, S::kIntRt);
    EXPECT_FALSE(chip.irqLine(S::kSpi0Irq));
}

TEST_F(SpiRegistersTest, LoopbackReceivesWhatIsSent) {
    configure();
    spi.write(S::kCr1, S::kCr1Sse | S::kCr1Lbm);
    spi.write(S::kDr, 0x1C3);
    runTo(640);
    EXPECT_EQ(spi.read(S::kDr), 0xC3u); // eight bits of it
}

} // namespace
