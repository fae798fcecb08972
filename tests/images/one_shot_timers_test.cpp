// The board's two software timers fire once per start: the 10-tick debounce
// window and the 500-tick host-silence timer each end once and then stay
// dormant until the board restarts them. A debounce window that cannot be
// started costs the edge its settled publication, nothing more.
#include "link_bench.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace link_test {
namespace {

constexpr unsigned kSlot = 2;
constexpr std::uint8_t kAddr = addressOfSlot(kSlot);

// An image with digital inputs, and its board's pins.
struct Image {
    const char* name;
    // Active low, released by a host write to 0x12.
    unsigned inputChangePin() const {
        return sim::boardDescriptionOf(name).gpio(sim::PinUse::ChangeLine);
    }
    unsigned input0() const { return sim::boardDescriptionOf(name).gpio(sim::PinUse::DigitalIn); }
};
const Image kImages[] = {{"valdor"}, {"quillet"}};

void PrintTo(const Image& image, std::ostream* os) {
    *os << image.name;
}

std::string imageName(const ::testing::TestParamInfo<Image>& info) {
    return info.param.name;
}

class OneShotTimers : public LinkTest, public ::testing::WithParamInterface<Image> {};

// The publication at start opens a window as an edge does, and its end
// publishes once more: acknowledged in between, the line goes low again 10
// ticks after the start (tick 1), and stays high after the next
// acknowledgement.
TEST_P(OneShotTimers, TheStartUpWindowEndsInOnePublication) {
    const Image& image = GetParam();
    sim::Board& board = insert(image.name, kSlot);
    start(milliseconds(5));
    const Time ack = write(kAddr, 0x12, {0x00}).end;
    runUntil(milliseconds(20));
    const Time ack2 = write(kAddr, 0x12, {0x00}).end;
    runUntil(milliseconds(80));
    const Timeline line = pinChanges(board, image.inputChangePin(), ack);
    ASSERT_EQ(line.size(), 3u);
    EXPECT_TRUE(line[0].second);
    EXPECT_TRUE(onTime(line[0].first, ack));
    EXPECT_FALSE(line[1].second);
    EXPECT_TRUE(onTime(line[1].first, milliseconds(11), kStartUp));
    EXPECT_TRUE(line[2].second);
    EXPECT_TRUE(onTime(line[2].first, ack2));
}

INSTANTIATE_TEST_SUITE_P(Images, OneShotTimers, ::testing::ValuesIn(kImages), imageName);

// Neither timer's second expiry would show outside (the board drops a stale
// window end; a second host timeout finds the host already lost), so a
// debugger reads the timer service's active lists: the timer is in one while
// its period runs, in none once it has fired.
class OneShotTimerState : public LinkTest, public ::testing::WithParamInterface<Image> {
protected:
    bool active(sim::Board& board, const char* name) {
        const std::vector<std::string> timers = board.chip().activeTimers();
        return std::find(timers.begin(), timers.end(), name) != timers.end();
    }
};

TEST_P(OneShotTimerState, DormantAfterFiringOnce) {
    sim::Board& board = insert(GetParam().name, kSlot);
    start(milliseconds(20));
    EXPECT_FALSE(active(board, "DebounceTimer")); // the start-up window is over
    EXPECT_FALSE(active(board, "HeartbeatTimer"));

    const Time edge = milliseconds(20) + microseconds(300);
    runUntil(edge);
    board.contact(GetParam().input0()).close();
    runUntil(edge + milliseconds(9));
    EXPECT_TRUE(active(board, "DebounceTimer"));
    runUntil(edge + milliseconds(11));
    EXPECT_FALSE(active(board, "DebounceTimer"));

    read(kAddr, 0x05, 1); // host activity
    const Time hb = now();
    runUntil(hb + milliseconds(498));
    EXPECT_TRUE(active(board, "HeartbeatTimer"));
    runUntil(hb + milliseconds(501));
    EXPECT_FALSE(active(board, "HeartbeatTimer"));
    runUntil(hb + milliseconds(1600));
    EXPECT_FALSE(active(board, "HeartbeatTimer"));
    EXPECT_FALSE(active(board, "DebounceTimer"));
}

INSTANTIATE_TEST_SUITE_P(Images, OneShotTimerState, ::testing::ValuesIn(kImages), imageName);

// A debugger holds the timer service for a few ticks inside a pended call
// and fills its command queue, so the board cannot start the window for an
// edge: the edge is published at once as always, with the warning, and
// nothing is published when the window would have ended. With the service
// back the next edge gets its window again.
class DebounceTimerFault : public LinkTest, public ::testing::WithParamInterface<Image> {
protected:
    void jamTimerService(sim::Board& board, std::uint32_t ticks) {
        auto results = std::make_shared<std::vector<bool>>();
        auto note = [results](bool ok) { results->push_back(ok); };
        auto made = [&](std::size_t calls) {
            for (int us = 0; us < 50 && results->size() < calls; ++us)
                runFor(microseconds(1));
            return results->size() == calls;
        };
        board.chip().pendTimerServiceDelay(0, ticks, note);
        ASSERT_TRUE(made(1)) << "the call was not made";
        ASSERT_TRUE(results->front()) << "the service's queue had no room";
        // Calls that keep it waiting no longer, until one finds no room.
        for (std::size_t n = 2; n < 64 && results->back(); ++n) {
            board.chip().pendTimerServiceDelay(0, 0, note);
            ASSERT_TRUE(made(n)) << "call " << n << " was not made by " << now();
        }
        ASSERT_FALSE(results->back()) << "the queue did not fill";
    }
    void expectWarning(sim::Board& board) {
        if (image_backend::printsToConsole(board.description().image)) {
            EXPECT_EQ(board.chip().console.pending(), "[WARN] Fehler Start Debounce-Timer");
        }
    }
};

TEST_P(DebounceTimerFault, TheEdgeIsPublishedOnceWithTheWarning) {
    const Image& image = GetParam();
    sim::Board& board = insert(image.name, kSlot);
    start(milliseconds(20));
    write(kAddr, 0x12, {0x00});
    // Between two beats of core 1's watchdog heartbeat, whose wake from
    // sleep_ms passes through the same queue (a lost wake resets the chip).
    const Time edge = milliseconds(30) + microseconds(300);
    runUntil(edge - microseconds(20));
    jamTimerService(board, 5);
    runUntil(edge);
    board.contact(image.input0()).close();
    runUntil(edge + microseconds(1) + kCodeTime);
    expectWarning(board);
    EXPECT_EQ(readOne(kAddr, 0x12), 0x01);
    const Time ack = write(kAddr, 0x12, {0x00}).end;
    runUntil(milliseconds(60));
    const Timeline line = pinChanges(board, image.inputChangePin(), edge);
    ASSERT_EQ(line.size(), 2u) << "published again when the window would have ended";
    EXPECT_FALSE(line[0].second);
    EXPECT_TRUE(onTime(line[0].first, edge));
    EXPECT_TRUE(line[1].second);
    EXPECT_TRUE(onTime(line[1].first, ack));

    const Time edge2 = milliseconds(60) + microseconds(300);
    runUntil(edge2);
    board.contact(image.input0()).open();
    runUntil(edge2 + milliseconds(1));
    const Time ack2 = write(kAddr, 0x12, {0x00}).end;
    runUntil(edge2 + milliseconds(15));
    const Timeline line2 = pinChanges(board, image.inputChangePin(), edge2);
    ASSERT_EQ(line2.size(), 3u);
    EXPECT_TRUE(onTime(line2[0].first, edge2));
    EXPECT_TRUE(onTime(line2[1].first, ack2));
    EXPECT_FALSE(line2[2].second);
    EXPECT_TRUE(ticksAfter(line2[2].first, edge2, 10)); // the window's end
    EXPECT_EQ(readOne(kAddr, 0x12), 0x00);
    expectWarning(board); // only the first edge's, still the last line begun
    EXPECT_TRUE(records("console", board.name()).empty());
    EXPECT_TRUE(board.chip().resetLog().empty());
}

INSTANTIATE_TEST_SUITE_P(Images, DebounceTimerFault, ::testing::ValuesIn(kImages), imageName);

} // namespace
} // namespace link_test
