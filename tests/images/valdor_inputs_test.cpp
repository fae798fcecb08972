// valdor's four digital inputs (contacts to ground on GPIO15, 14, 13, 12):
// published in 0x12 at the first edge and again when the 10-tick debounce
// window ends, each publication pulling the input-change line GPIO17 low
// until the host acknowledges with a data byte written to 0x12 or 0x13.
#include "valdor_bench.h"

namespace valdor_test {
namespace {

using Changes = std::vector<std::pair<Time, bool>>;

// A window opened during tick n ends at the tick interrupt of tick n + 10.
Time windowEnd(Time edge) {
    return (edge / milliseconds(1) + 10) * milliseconds(1);
}

// The line's changes as expected: none early, a reaction to an edge or a
// write within the code time, a window end (on a tick, which counts from the
// start) within the start-up offset too.
void expectLine(const Changes& seen, const Changes& expected, const std::vector<bool>& onTick) {
    ASSERT_EQ(seen.size(), expected.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].second, expected[i].second) << "change " << i;
        EXPECT_TRUE(onTime(seen[i].first, expected[i].first, onTick[i] ? kStartUp : 0))
            << "change " << i;
    }
}

class ValdorInputs : public ValdorTest {
protected:
    // Started, the start-up window over and the line acknowledged.
    void startAcknowledged() {
        runUntil(milliseconds(15));
        acknowledgeInputs();
        ASSERT_TRUE(level(kChangeLine));
    }
    std::uint8_t inputs() {
        const std::vector<std::uint8_t> bytes = read(0x12, 2);
        EXPECT_EQ(bytes.size(), 2u);
        EXPECT_EQ(bytes.at(1), 0u); // 0x13: valdor has four inputs
        return bytes.at(0);
    }
    // Each step `gap` after the one before, the first at once.
    void bounce(unsigned pin, std::vector<bool> closed, Time gap) {
        std::vector<sim::Contact::Step> steps;
        for (std::size_t i = 0; i < closed.size(); ++i)
            steps.push_back({i == 0 ? 0 : gap, closed[i]});
        board_->contact(pin).bounce(std::move(steps));
    }
};

TEST_F(ValdorInputs, StartPublishesTheInputsAndPullsTheLineOnce) {
    board_->contact(kDin[2]).close(); // closed before power-on
    runUntil(milliseconds(15));
    // The line is set up high and pulled low by the start publication.
    EXPECT_TRUE(sameTimeline(pinChanges(kChangeLine), {{kSetUp, true}, {kSetUp, false}}, kStartUp));
    for (unsigned pin : {kDin[3], kDin[1], kDin[0]}) {
        EXPECT_TRUE(chip().gpio.state(pin).pullUp) << pin;
        EXPECT_TRUE(level(pin)) << pin;
    }
    EXPECT_EQ(inputs(), 0x04);
}

TEST_F(ValdorInputs, EachInputHasItsBitAndTheNextRegistersKeepTheirValues) {
    startAcknowledged();
    write(0x50, {0x5A, 0x03, 0x01});
    const std::vector<unsigned>& pins = kDin;
    std::uint8_t expected = 0;
    for (unsigned k = 0; k < 4; ++k) {
        board_->contact(pins[k]).close();
        expected = static_cast<std::uint8_t>(expected | (1u << k));
        runFor(milliseconds(12));
        EXPECT_EQ(inputs(), expected) << "GPIO" << pins[k];
    }
    board_->contact(kDin[1]).open();
    runFor(milliseconds(12));
    EXPECT_EQ(inputs(), 0x0D);
    EXPECT_EQ(read(0x50, 3), (std::vector<std::uint8_t>{0x5A, 0x03, 0x01}));
}

TEST_F(ValdorInputs, BouncesArePublishedAtTheFirstEdgeAndAtTheWindowsEnd) {
    startAcknowledged();
    runUntil(microseconds(20300));
    const Time edge = now();
    // A press: ten edges 400 us apart, settling closed.
    bounce(15, {true, false, true, false, true, false, true, false, true, false, true},
           microseconds(400));
    runUntil(edge + microseconds(1500));
    EXPECT_EQ(inputs(), 0x01);
    const Time ack = acknowledgeInputs();
    runUntil(edge + milliseconds(15));
    ASSERT_FALSE(board_->contact(kDin[0]).bouncing());
    EXPECT_EQ(inputs(), 0x01);
    EXPECT_EQ(windowEnd(edge), milliseconds(30));
    expectLine(pinChanges(kChangeLine, edge),
               {{edge, false}, {ack, true}, {windowEnd(edge), false}}, {false, false, true});
}

TEST_F(ValdorInputs, AGlitchIsPublishedAndCorrectedAtTheWindowsEnd) {
    startAcknowledged();
    runUntil(microseconds(20700));
    const Time edge = now();
    bounce(13, {true, false}, microseconds(300));
    runUntil(edge + milliseconds(1));
    EXPECT_EQ(inputs(), 0x04); // the raw state of the first edge
    runUntil(windowEnd(edge) + kStartUp);
    EXPECT_EQ(inputs(), 0x00);
    EXPECT_TRUE(sameTimeline(pinChanges(kChangeLine, edge), {{edge, false}}, 0));
}

// An edge of another pin is published at once and the window starts over
// for that pin: the first pin's window end publishes nothing.
TEST_F(ValdorInputs, AnotherPinsEdgeRestartsTheWindowForThatPin) {
    startAcknowledged();
    runUntil(microseconds(20300));
    const Time first = now();
    board_->contact(kDin[0]).close();
    runUntil(first + milliseconds(1));
    const Time ack1 = acknowledgeInputs();
    runUntil(first + microseconds(4500));
    const Time second = now();
    bounce(14, {true, false, true}, microseconds(200));
    runUntil(second + milliseconds(1));
    EXPECT_EQ(inputs(), 0x03);
    const Time ack2 = acknowledgeInputs();
    runUntil(windowEnd(second) + milliseconds(1));
    EXPECT_EQ(windowEnd(first), milliseconds(30));
    EXPECT_EQ(windowEnd(second), milliseconds(34));
    expectLine(
        pinChanges(kChangeLine, first),
        {{first, false}, {ack1, true}, {second, false}, {ack2, true}, {windowEnd(second), false}},
        {false, false, false, false, true});
    EXPECT_EQ(inputs(), 0x03);
}

TEST_F(ValdorInputs, OnlyADataByteTo0x12Or0x13ReleasesTheLine) {
    startAcknowledged();
    board_->contact(kDin[3]).close();
    runFor(milliseconds(12));
    ASSERT_FALSE(level(kChangeLine));
    EXPECT_EQ(inputs(), 0x08);                              // a plain read
    bench_.i2c({sim::I2cMessage::write(kAddress, {0x12})}); // address only
    write(0x50, {0x00});
    runFor(milliseconds(1));
    EXPECT_FALSE(level(kChangeLine));
    const Time ack = write(0x13, {0xFF}).end;
    EXPECT_TRUE(level(kChangeLine));
    EXPECT_TRUE(sameTimeline(pinChanges(kChangeLine, ack), {{ack, true}}, 0));
    EXPECT_EQ(inputs(), 0x08); // read-only: the host's byte is dropped
}

} // namespace
} // namespace valdor_test
