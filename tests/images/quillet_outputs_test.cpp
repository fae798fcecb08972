// quillet's nine digital outputs: the host's output word in 0x50/0x51 on the
// pins of its output map, applied at the end of the host's write, and no
// other pin of the board touched by it.
#include <gtest/gtest.h>

#include "quillet_bench.h"

namespace quillet {
namespace {

class QuilletOutputs : public QuilletBench {
protected:
    void SetUp() override { runUntil(20 * MS); }

    // Writes the output word and lets the board apply it.
    sim::I2cTransferRecord setOutputs(uint16_t word) {
        sim::I2cTransferRecord r =
            write(0x50, {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)});
        runUntil(bench.now() + MS);
        return r;
    }
};

TEST_F(QuilletOutputs, EachBitDrivesItsPinAtTheEndOfTheWrite) {
    EXPECT_EQ(outputPins(), 0u);
    for (unsigned n = 0; n < 9; ++n) {
        const sim::Time before = bench.now();
        const sim::I2cTransferRecord r = setOutputs(static_cast<uint16_t>(1u << n));
        EXPECT_EQ(outputPins(), 1u << n) << "output " << n;
        // Applied as the STOP ends the write, not a tick later.
        EXPECT_TRUE(oneChange(changes(DOUT[n], before), r.end, true)) << "output " << n;
        if (n > 0) {
            EXPECT_TRUE(oneChange(changes(DOUT[n - 1], before), r.end, false));
        }
    }
}

TEST_F(QuilletOutputs, TheSecondByteDrivesOnlyOutputEight) {
    setOutputs(0x1FF);
    EXPECT_EQ(outputPins(), 0x1FFu);
    setOutputs(0x0001);
    EXPECT_EQ(outputPins(), 0x001u); // GPIO12 alone

    write(0x50, {0xFF, 0x01});
    write(0x51, {0xFE}); // bits 1..7 of 0x51 are not wired
    runUntil(bench.now() + MS);
    EXPECT_EQ(outputPins(), 0x0FFu);
    EXPECT_FALSE(level(DOUT[8]));
    EXPECT_EQ(read(0x50, 2), (std::vector<uint8_t>{0xFF, 0xFE}));
    write(0x51, {0x03});
    runUntil(bench.now() + MS);
    EXPECT_EQ(outputPins(), 0x1FFu);
}

TEST_F(QuilletOutputs, AWriteOfTheThirdByteAloneReappliesTheWord) {
    setOutputs(0x105);
    const sim::Time before = bench.now();
    write(0x52, {0xFF});
    runUntil(bench.now() + MS);
    // 0x52 is stored but drives nothing; the word of 0x50/0x51 stays applied.
    EXPECT_EQ(read(0x50, 3), (std::vector<uint8_t>{0x05, 0x01, 0xFF}));
    EXPECT_EQ(outputPins(), 0x105u);
    for (unsigned pin : DOUT) {
        EXPECT_TRUE(changes(pin, before).empty()) << "GPIO" << pin;
    }
    EXPECT_TRUE(console().empty());
}

// The outputs share the output register with the input-change line, the
// onboard LED and the converter-select lines. A write lands during the
// second scan: the board task gets the core at the 208 ms tick while the
// thermocouple task selects channel 8 (enable GPIO8 high), with the input
// line released (high) and the LED on. None of them moves with the outputs.
TEST_F(QuilletOutputs, TheUpdateLeavesEveryOtherPinAlone) {
    write(0x12, {0x00}); // releases the input-change line
    const sim::Time second = firstScan() + SCAN_PERIOD;
    runUntil(second + 200 * US);
    ASSERT_TRUE(level(CHANGE_LINE));
    ASSERT_TRUE(level(LED));
    const sim::Time before = bench.now();
    // The scan began in a tick; the next one comes during its last frame.
    const sim::Time tick = second + MS;
    const sim::I2cTransferRecord r = write(0x50, {0xFF, 0x01});
    ASSERT_LT(r.end, tick - image_backend::kCodeTime);
    runUntil(tick + MS);

    EXPECT_EQ(outputPins(), 0x1FFu);
    const std::vector<PinChange> first = changes(DOUT[0], before);
    ASSERT_EQ(first.size(), 1u);
    const sim::Time applied = first[0].at;
    EXPECT_TRUE(image_backend::near(applied, tick));
    for (unsigned pin : DOUT) {
        EXPECT_EQ(changes(pin, before), (std::vector<PinChange>{{applied, true}})) << "GPIO" << pin;
    }
    EXPECT_TRUE(changes(CHANGE_LINE, before).empty());
    EXPECT_TRUE(changes(LED, before).empty());
    // Channel 8 (address 0: enable alone) stays selected to the end of its
    // frame, then the scan lets go of it.
    EXPECT_TRUE(oneChange(changes(ENABLE, before), second + 8 * FRAME, false));
    for (unsigned pin : ADDRESS_LINES) {
        EXPECT_TRUE(changes(pin, applied).empty()) << "GPIO" << pin;
    }

    // And all off again, with the line and the LED still high.
    const sim::Time again = bench.now();
    setOutputs(0);
    EXPECT_EQ(outputPins(), 0u);
    EXPECT_TRUE(level(CHANGE_LINE));
    EXPECT_TRUE(level(LED));
    EXPECT_TRUE(changes(CHANGE_LINE, again).empty());
    EXPECT_TRUE(changes(LED, again).empty());
}

TEST_F(QuilletOutputs, AnalogOutputWritesAreStoredAndDoNothingElse) {
    setOutputs(0x0AA);
    const sim::Time before = bench.now();
    write(0x60, {0x01, 0x02});
    write(0x62, {0x03});
    runUntil(bench.now() + 5 * MS);
    EXPECT_EQ(read(0x60, 4), (std::vector<uint8_t>{0x01, 0x02, 0x03, 0x00}));
    // An analog-output event would reach quillet's board task as an
    // unknown event and be reported.
    EXPECT_TRUE(console().empty());
    EXPECT_EQ(outputPins(), 0x0AAu);
    for (unsigned pin : DOUT) {
        EXPECT_TRUE(changes(pin, before).empty()) << "GPIO" << pin;
    }
}

TEST_F(QuilletOutputs, AHostThatFallsSilentLeavesTheOutputsOn) {
    setOutputs(0x1FF);
    // Host activity starts the 500-tick heartbeat; then the host goes quiet.
    ASSERT_EQ(read(0x05, 1), (std::vector<uint8_t>{0x02}));
    const sim::Time before = bench.now();
    runUntil(before + 1500 * MS);
    EXPECT_EQ(outputPins(), 0x1FFu);
    for (unsigned pin : DOUT) {
        EXPECT_TRUE(changes(pin, before).empty()) << "GPIO" << pin;
    }
    EXPECT_TRUE(console().empty());
}

} // namespace
} // namespace quillet
