// The board's two software timers fire once per start: the 10-tick debounce
// window and the 500-tick host-silence timer each end once and then stay
// dormant until the board restarts them. A debounce window that cannot be
// started costs the edge its settled publication, nothing more.
#include "link_bench.h"

#include "FreeRTOS.h"
#include "kernel/scheduler.h"
#include "kernel/timer_service.h"
#include "task.h"

#include <string>

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
// debugger reads the kernel's timer state: active while the period runs,
// dormant once it has fired.
class OneShotTimerState : public LinkTest, public ::testing::WithParamInterface<Image> {
protected:
    bool active(sim::Board& board, const char* name) {
        const sim::SoftwareTimer* t = sim::hostChipOf(board).scheduler().timers().find(name);
        EXPECT_NE(t, nullptr) << name;
        return t != nullptr && t->active;
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
        sim::TimerService& timers = sim::hostChipOf(board).scheduler().timers();
        bool woken = false;
        ASSERT_TRUE(timers.pendFunctionCall(&hold, nullptr, ticks, &woken));
        runFor(microseconds(10)); // the service takes the call and waits in it
        while (timers.pendFunctionCall(&nothing, nullptr, 0, &woken)) {
        }
        ASSERT_EQ(timers.queue().spaces(), 0u);
    }

private:
    static void hold(void*, std::uint32_t ticks) { vTaskDelay(ticks); }
    static void nothing(void*, std::uint32_t) {}
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
    runUntil(edge + microseconds(1));
    EXPECT_EQ(board.chip().console.pending(), "[WARN] Fehler Start Debounce-Timer");
    EXPECT_EQ(readOne(kAddr, 0x12), 0x01);
    const Time ack = write(kAddr, 0x12, {0x00}).end;
    runUntil(milliseconds(60));
    EXPECT_EQ(pinChanges(board, image.inputChangePin(), edge),
              (Timeline{{edge, false}, {ack, true}}));

    const Time edge2 = milliseconds(60) + microseconds(300);
    runUntil(edge2);
    board.contact(image.input0()).open();
    runUntil(edge2 + milliseconds(1));
    const Time ack2 = write(kAddr, 0x12, {0x00}).end;
    runUntil(edge2 + milliseconds(15));
    const Time windowEnd = (edge2 / milliseconds(1) + 10) * milliseconds(1);
    EXPECT_EQ(pinChanges(board, image.inputChangePin(), edge2),
              (Timeline{{edge2, false}, {ack2, true}, {windowEnd, false}}));
    EXPECT_EQ(readOne(kAddr, 0x12), 0x00);
    EXPECT_EQ(board.chip().console.pending(), "[WARN] Fehler Start Debounce-Timer");
    EXPECT_TRUE(records("console", board.name()).empty());
    EXPECT_TRUE(board.chip().resetLog().empty());
}

INSTANTIATE_TEST_SUITE_P(Images, DebounceTimerFault, ::testing::ValuesIn(kImages), imageName);

} // namespace
} // namespace link_test
