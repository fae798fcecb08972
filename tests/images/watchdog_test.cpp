// Watchdog supervision: the heartbeat from core 1 and the feed on core 0,
// and the reset 50 ms after the last feed when either core, or the timer
// service behind sleep_ms, stops. Faults come from watchdog_bench.h.
#include "watchdog_bench.h"

#include <algorithm>

namespace watchdog_test {
namespace {

using sim::NotifyState;
using sim::TaskState;

// Beat k leaves core 1 at exactly k * 26 ms. On core 0 "Watchdog-0" shares
// priority 2 with the board's tasks, so a feed may wait for the next time
// slice, one tick, but never longer.
void expectFeedsOnTheBeat(const std::vector<Time>& feeds, Time from, Time slack) {
    for (std::size_t k = 0; k < feeds.size(); ++k) {
        if (image_backend::kElf && k > 0) {
            // The beat's own code adds to its 26 ms sleep: on the real binary
            // the beats drift by microseconds, so a feed counts from the last.
            const Time gap = feeds[k] - feeds[k - 1];
            ASSERT_GE(gap + slack, kBeat) << "feed " << k;
            ASSERT_LE(gap, kBeat + slack) << "feed " << k;
            continue;
        }
        const Time beat = from + k * kBeat;
        ASSERT_GE(feeds[k], beat) << "feed " << k;
        ASSERT_LE(feeds[k], beat + slack) << "feed " << k;
    }
}

class WatchdogFeeding : public WatchdogBench,
                        public ::testing::WithParamInterface<std::pair<const char*, Time>> {};

// quillet runs for an hour: its converter scan keeps core 0 busy at
// priority 2, the case where feeds are late by a time slice.
TEST_P(WatchdogFeeding, FeedsOnEveryBeatWithoutReset) {
    const auto [image, duration] = GetParam();
    boot(image);
    runUntil(duration);

    EXPECT_TRUE(resets().empty());
    const std::vector<Time>& fed = feeds().feeds();
    // Armed at power-on, fed at once by the first beat, then once per beat.
    // The real binary arms and feeds after its boot code, up to kStartUp in;
    // each feed then comes with the code time of its beat, and valdor's own
    // tasks of priority 2 on core 0 take time there too: a feed may wait for
    // them, a time slice at most, as for the others.
    ASSERT_FALSE(fed.empty());
    EXPECT_TRUE(onTime(fed.front(), 0, kStartUp));
    const Time first = fed.front() - std::min(fed.front(), kCodeTime);
    // With the real binary's drift the last beat may fall past the end.
    const std::size_t beats = 1 + (duration - first) / kBeat;
    ASSERT_LE(fed.size(), beats);
    ASSERT_GE(fed.size() + (image_backend::kElf ? 1 : 0), beats);
    const bool timeSlice = std::string(image) != "valdor" || image_backend::kElf;
    expectFeedsOnTheBeat(fed, first, (timeSlice ? milliseconds(1) : 0) + 2 * kCodeTime);
}

// The real binaries run instruction by instruction, some ten simulated
// seconds per second: there the runs are shorter.
constexpr Time kMinute = image_backend::kElf ? seconds(10) : seconds(60);
constexpr Time kHour = image_backend::kElf ? seconds(30) : seconds(3600);

INSTANTIATE_TEST_SUITE_P(Images, WatchdogFeeding,
                         ::testing::Values(std::make_pair("valdor", kMinute),
                                           std::make_pair("quillet", kHour),
                                           std::make_pair("brennic", kMinute)),
                         [](const auto& info) { return std::string(info.param.first); });

// All faults are injected 1 ms after the feed at or just before 988 ms: on
// the host model the beat and feed of 988 ms (quillet's feed may be a tick
// late; the tests take the last one seen), on the real binary, whose tick
// grid starts later, the next feed after it.
constexpr Time kFault = milliseconds(989);

class WatchdogStall : public WatchdogBench, public ::testing::WithParamInterface<const char*> {
protected:
    bool hasHostLink() const { return std::string(GetParam()) != "brennic"; }

    void bootAndRunToFault() {
        boot(GetParam());
        runUntil(kFault);
        while (feeds().last() + milliseconds(2) < now())
            runFor(microseconds(100));
        if (now() > kFault)
            runUntil(feeds().last() + milliseconds(1));
        fault_ = now();
    }

    // Runs until the reset and checks that it came 50 ms after the last feed,
    // with no feed after the fault. Stops 1 ms before it first, for `before`.
    template <class F>
    void expectResetAfterLastFeed(F before) {
        const Time lastFeed = feeds().last();
        ASSERT_LE(lastFeed, fault_);
        ASSERT_GE(lastFeed, fault_ - milliseconds(2));
        const Time due = lastFeed + kTimeout;
        runUntil(due - milliseconds(1));
        ASSERT_TRUE(resets().empty());
        before();
        runUntil(due + microseconds(1));
        ASSERT_EQ(resets().size(), 1u);
        // The real binary's cores first finish the instruction under way.
        EXPECT_GE(resets()[0].at, due);
        EXPECT_LT(resets()[0].at, due + (image_backend::kElf ? microseconds(1) : 1));
        EXPECT_EQ(resets()[0].cause, "watchdog timeout");
        EXPECT_TRUE(feeds().between(fault_, due).empty());
    }

    Time fault_ = 0;

    // On the host model, what its scheduler tells of a task; the real
    // binary's state shows only in what follows from it.
    sim::Task* task(const char* name) { return hostChip().scheduler().findTask(name); }
};

TEST_P(WatchdogStall, Core1BusyAbovePriority2Resets) {
    bootAndRunToFault();
    stall(3, 0x2);
    expectResetAfterLastFeed([this] {
        // Core 0 is free: "Watchdog-0" waits for a beat that never comes, and
        // the interrupt and "TWI-Task" above the runaway still serve the host.
        if constexpr (!image_backend::kElf) {
            EXPECT_EQ(task("Watchdog-0")->notifyState, NotifyState::Waiting);
        }
        if (hasHostLink()) {
            EXPECT_TRUE(answers());
        }
    });
}

TEST_P(WatchdogStall, Watchdog1GoneResets) {
    bootAndRunToFault();
    deleteTask("Watchdog-1");
    expectResetAfterLastFeed([] {});
}

TEST_P(WatchdogStall, Core0BusyAbovePriority2Resets) {
    bootAndRunToFault();
    stall(3, 0x1);
    expectResetAfterLastFeed([this] {
        // Core 1 still beats: the notification waits, "Watchdog-0" cannot run.
        if constexpr (!image_backend::kElf) {
            EXPECT_EQ(task("Watchdog-0")->notifyState, NotifyState::Received);
            EXPECT_EQ(task("Watchdog-0")->state, TaskState::Ready);
        }
        if (hasHostLink()) {
            EXPECT_TRUE(answers());
        }
    });
}

TEST_P(WatchdogStall, StoppedTimerServiceEndsTheHeartbeat) {
    bootAndRunToFault();
    stopTimerService();
    expectResetAfterLastFeed([this] {
        // Both cores run; "Watchdog-1" never wakes from its sleep.
        if constexpr (!image_backend::kElf) {
            EXPECT_EQ(task("Watchdog-1")->state, TaskState::Blocked);
            EXPECT_EQ(task("Watchdog-0")->notifyState, NotifyState::Waiting);
        }
        if (hasHostLink()) {
            EXPECT_TRUE(answers());
        }
    });
}

TEST_P(WatchdogStall, BusyLoopAtPriority2OnCore0IsNoStall) {
    bootAndRunToFault();
    const Time lastFeed = feeds().last();
    stall(2, 0x1);
    // A minute on the host model; on the real binary, which runs every
    // instruction, two seconds.
    const Time span = image_backend::kElf ? seconds(2) : seconds(60);
    runUntil(fault_ + span);

    EXPECT_TRUE(resets().empty());
    const std::vector<Time> fed = feeds().between(fault_, now());
    ASSERT_EQ(fed.size(), span / kBeat);
    const Time firstBeat = lastFeed + kBeat;
    // The loop holds core 0: a feed waits for its time slice. Where a
    // converter scan starts on the tick of the beat, "Thermo" spins through
    // its frames beside the loop and the feed may wait one slice more
    // (brennic's scans meet its beats from the first one on).
    const std::vector<sim::Record> frames = bench_.recorder().select("spi", board_->name());
    auto slices = [&](Time beat) {
        const bool scan = std::any_of(frames.begin(), frames.end(),
                                      [&](const sim::Record& r) { return near(r.at, beat); });
        return milliseconds(scan ? 2 : 1);
    };
    for (std::size_t k = 0; k < fed.size(); ++k) {
        const Time beat = firstBeat + k * kBeat;
        ASSERT_GE(fed[k] + kCodeTime, beat) << "feed " << k;
        ASSERT_LE(fed[k], beat + slices(beat) + kCodeTime) << "feed " << k;
    }
    // The feed of the first beat waited for all its slices.
    EXPECT_TRUE(near(fed.front(), firstBeat + slices(firstBeat)));
}

INSTANTIATE_TEST_SUITE_P(Images, WatchdogStall, ::testing::Values("valdor", "quillet", "brennic"),
                         [](const auto& info) { return std::string(info.param); });

class WatchdogDebugHalt : public WatchdogBench {};

// The firmware arms the watchdog to pause while a debugger holds the cores:
// a halt far past the timeout, taken 12 ms after a feed, resets nothing.
TEST_F(WatchdogDebugHalt, PausesTheWatchdog) {
    boot("valdor");
    // The feed after 980 ms (the host model's at 988 ms), seen as soon as
    // the count is reloaded.
    runUntil(milliseconds(980));
    const Time before = feeds().last();
    while (feeds().last() == before && now() < milliseconds(980) + kBeat + kStartUp)
        runFor(microseconds(100));
    ASSERT_NE(feeds().last(), before);
    const Time halt = feeds().last() + milliseconds(12);
    runUntil(halt);
    const std::uint32_t left = chip().watchdog.count();
    EXPECT_EQ(left, kFullCount - 2 * 12000);
    chip().setDebugHalt(true);
    runUntil(halt + milliseconds(5000));
    EXPECT_EQ(chip().watchdog.count(), left);
    chip().setDebugHalt(false);
    runUntil(halt + milliseconds(6000));

    EXPECT_TRUE(resets().empty());
    // The chip's timer stopped with the cores, 14 ms before the next beat:
    // that beat comes 14 ms after the release, and the beats go on from there.
    const Time next = halt + milliseconds(5000 + 14);
    const std::vector<Time> fed = feeds().between(halt, now());
    ASSERT_EQ(fed.size(), 1 + (now() - next) / kBeat);
    expectFeedsOnTheBeat(fed, next, 2 * kCodeTime);
}

} // namespace
} // namespace watchdog_test
