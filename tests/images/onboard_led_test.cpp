// The onboard LED (GPIO25) shows the slot position: five quick flashes at
// start, then p + 1 flashes of 200 ticks on and 200 off with the last off
// stretched to 1500, or 1750 on and 250 off without a position. Checked edge
// by edge on the recorded pin timeline.
#include "link_bench.h"

#include <string>

namespace link_test {
namespace {

class OnboardLed : public LinkTest, public ::testing::WithParamInterface<const char*> {};

// Position 7 needs the longest cycle: eight flashes in 4500 ticks. One cycle
// of every position and the start of the next fit into 5.6 s.
TEST_P(OnboardLed, EveryPositionFlashesItsCode) {
    const std::string image = GetParam();
    // brennic drives the bus pins as converter-select lines, so it gets a
    // backplane for itself; the LED does not need the bus.
    const std::vector<unsigned> slots = image == "valdor"
                                            ? std::vector<unsigned>{0, 1, 2, 3, 4, 5, 6, 7}
                                            : std::vector<unsigned>{0, 3, 7};
    for (unsigned slot : slots)
        insert(image, slot);
    const Time until = milliseconds(5600) + kStartUp;
    start(until);
    for (unsigned slot : slots) {
        const Timeline seen = pinChanges(*bench.board(slot), 25);
        EXPECT_TRUE(sameTimeline(seen, expectedBlink(static_cast<int>(slot), until)))
            << image << " in slot " << slot;
        // As a technician counts it: the code repeats every 400 (p + 1) + 1300
        // ticks, 1700 for position 0 and 4500 for position 7.
        const std::size_t secondCycle = 10 + 2 * (slot + 1);
        ASSERT_GT(seen.size(), secondCycle);
        EXPECT_TRUE(
            near(seen[secondCycle].first - seen[10].first, milliseconds(400 * (slot + 1) + 1300)));
    }
}

TEST_P(OnboardLed, NoPositionGivesLongOnShortOff) {
    sim::Board& board = insert(GetParam(), 4, sim::SlotCoding::none());
    const Time until = milliseconds(5100) + kStartUp;
    start(until);
    EXPECT_TRUE(sameTimeline(pinChanges(board, 25), expectedBlink(-1, until)));
}

INSTANTIATE_TEST_SUITE_P(Images, OnboardLed, ::testing::Values("valdor", "quillet", "brennic"));

} // namespace
} // namespace link_test
