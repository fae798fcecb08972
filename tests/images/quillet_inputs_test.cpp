// quillet's six digital inputs: contacts to ground on the pins of its input
// map, published in 0x12 with the input-change line, released by the host's
// write to the input registers.
#include <gtest/gtest.h>

#include "quillet_bench.h"

namespace quillet {
namespace {

class QuilletInputs : public QuilletBench {
protected:
    void SetUp() override { runUntil(20 * MS); }

    void release() {
        write(0x12, {0x00});
        runUntil(bench.now() + MS);
        ASSERT_TRUE(level(CHANGE_LINE));
    }
};

TEST_F(QuilletInputs, StartUpPublishesOpenInputsOnce) {
    // Set up high, then pulled low by the publication of the state at start,
    // in the same instant, as the board task finishes its set-up.
    EXPECT_TRUE(sameChanges(changes(CHANGE_LINE), {{1002 * US, true}, {1002 * US, false}},
                            image_backend::kStartUp));
    EXPECT_EQ(read(0x12, 2), (std::vector<uint8_t>{0x00, 0x00}));
}

TEST_F(QuilletInputs, EachInputSetsItsBitAndPullsTheLine) {
    sim::Time t = 30 * MS + 250 * US;
    for (unsigned n = 0; n < 6; ++n) {
        release();
        runUntil(t);
        board.contact(DIN[n]).close();
        runUntil(t + MS);
        EXPECT_TRUE(oneChange(changes(CHANGE_LINE, t), t, false)) << "input " << n;
        EXPECT_EQ(read(0x12, 2), (std::vector<uint8_t>{static_cast<uint8_t>(1u << n), 0x00}))
            << "input " << n << " on GPIO" << DIN[n];
        board.contact(DIN[n]).open();
        t += 20 * MS; // past the debounce window
        runUntil(t - 2 * MS);
        EXPECT_EQ(read(0x12, 1), (std::vector<uint8_t>{0x00}));
    }
    for (unsigned pin : DIN) {
        board.contact(pin).close();
    }
    runUntil(bench.now() + 20 * MS);
    EXPECT_EQ(read(0x12, 2), (std::vector<uint8_t>{0x3F, 0x00}));
}

TEST_F(QuilletInputs, OnlyAWriteStartingAtTheInputRegistersReleasesTheLine) {
    board.contact(DIN[1]).close();
    runUntil(bench.now() + 20 * MS);
    ASSERT_FALSE(level(CHANGE_LINE));

    EXPECT_EQ(read(0x12, 1), (std::vector<uint8_t>{0x02}));
    bench.i2c({sim::I2cMessage::write(ADDRESS, {0x12})}); // address only
    write(0x0B, {0x01, 0x00, 0x00});                      // runs on through 0x12
    runUntil(bench.now() + MS);
    EXPECT_FALSE(level(CHANGE_LINE));

    const sim::I2cTransferRecord r = write(0x13, {0xAA});
    runUntil(bench.now() + MS);
    EXPECT_TRUE(oneChange(changes(CHANGE_LINE, r.start), r.end, true));
    board.contact(DIN[1]).open();
    runUntil(bench.now() + 20 * MS);
    write(0x12, {0xFF, 0xFF});
    board.contact(DIN[5]).close();
    runUntil(bench.now() + 20 * MS);
    // Both registers are the board's: the host's bytes are dropped.
    EXPECT_EQ(read(0x12, 2), (std::vector<uint8_t>{0x20, 0x00}));
}

// A bouncing contact publishes at its first edge and once more when the
// 10-tick window has passed, each time pulling the line.
TEST_F(QuilletInputs, ABouncingContactPublishesTwice) {
    release();
    const sim::Time t = 30 * MS + 500 * US;
    runUntil(t);
    std::vector<sim::Contact::Step> steps;
    for (int i = 0; i < 9; ++i) {
        steps.push_back({i == 0 ? 0 : 500 * US, i % 2 == 0});
    }
    board.contact(DIN[0]).bounce(steps); // ends closed after 4 ms
    runUntil(t + 3 * MS);
    EXPECT_TRUE(oneChange(changes(CHANGE_LINE, t), t, false));
    release();
    runUntil(60 * MS);
    // The window ends on a tick, which counts from the start.
    const PinChange windowEnd = changes(CHANGE_LINE, t + 3 * MS).back();
    EXPECT_FALSE(windowEnd.level);
    EXPECT_TRUE(image_backend::onTime(windowEnd.at, 40 * MS, image_backend::kStartUp));
    EXPECT_EQ(read(0x12, 1), (std::vector<uint8_t>{0x01}));
}

} // namespace
} // namespace quillet
