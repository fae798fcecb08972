// A watchdog task that cannot be created: the chip resets 1 ms after it
// tries, before any board code runs, instead of running unsupervised. The
// failure is injected on the chip's RTOS heap. At every boot the SDK's RTOS
// interoperation takes the first allocation (its event group); then come
// "Watchdog-0" and "Watchdog-1", each its stack and then its control block.
#include "watchdog_bench.h"

#include "chip/observer.h"

namespace watchdog_test {
namespace {

constexpr unsigned kFirstWatchdogAllocation = 1;

struct FailedAllocation {
    const char* what;
    unsigned skip;          // successful allocations before the failing one
    const char* tasksAfter; // the tasks that exist once the failure is met
};

class WatchdogCreation : public WatchdogBench,
                         public ::testing::WithParamInterface<FailedAllocation> {
protected:
    std::string taskNames() {
        std::string names;
        for (const sim::Task* t : chip().scheduler().tasks())
            names += names.empty() ? t->name : std::string(" ") + t->name;
        return names;
    }
};

TEST_P(WatchdogCreation, ResetsTheChipBeforeAnyBoardCode) {
    board_ = &bench_.insert(0, "valdor", imagePath("valdor"));
    feeds_ = std::make_unique<FeedLog>(chip());
    chip().heap().failAllocations(1, GetParam().skip);
    bench_.powerOn();

    runUntil(microseconds(999));
    EXPECT_EQ(chip().heap().failedAllocations(), 1u);
    EXPECT_EQ(taskNames(), GetParam().tasksAfter);
    EXPECT_FALSE(chip().scheduler().started());
    EXPECT_TRUE(resets().empty());

    runUntil(milliseconds(1));
    ASSERT_EQ(resets().size(), 1u);
    EXPECT_EQ(resets()[0].at, milliseconds(1));
    EXPECT_EQ(resets()[0].cause, "watchdog timeout");

    // The next start finds a fresh heap and the board runs supervised.
    runUntil(milliseconds(10));
    EXPECT_TRUE(answers());
    runUntil(seconds(1));
    EXPECT_EQ(resets().size(), 1u);
    EXPECT_EQ(feeds().between(milliseconds(1), now()).size(),
              1 + (seconds(1) - milliseconds(1)) / kBeat);
}

INSTANTIATE_TEST_SUITE_P(
    WatchdogTasks, WatchdogCreation,
    ::testing::Values(
        FailedAllocation{"Watchdog0Stack", kFirstWatchdogAllocation, ""},
        FailedAllocation{"Watchdog0Block", kFirstWatchdogAllocation + 1, ""},
        FailedAllocation{"Watchdog1Stack", kFirstWatchdogAllocation + 2, "Watchdog-0"},
        FailedAllocation{"Watchdog1Block", kFirstWatchdogAllocation + 3, "Watchdog-0"}),
    [](const auto& info) { return std::string(info.param.what); });

// A failure that comes back at every start (a build whose tasks do not fit
// its RAM) keeps the chip in reset: the board never runs without its
// watchdog and never answers, and the host sees no board in the slot.
class FailsAtEveryStart : public sim::ChipObserver {
public:
    explicit FailsAtEveryStart(sim::Chip& chip) : chip_(chip) {
        chip_.addObserver(*this);
        chip_.heap().failAllocations(1, kFirstWatchdogAllocation);
    }
    ~FailsAtEveryStart() override { chip_.removeObserver(*this); }
    void chipReset(sim::Chip& chip, const std::string&) override {
        chip.heap().failAllocations(1, kFirstWatchdogAllocation);
    }

private:
    sim::Chip& chip_;
};

class WatchdogPermanentFailure : public WatchdogBench {};

TEST_F(WatchdogPermanentFailure, KeepsTheBoardInResetAndOffTheBus) {
    board_ = &bench_.insert(0, "valdor", imagePath("valdor"));
    {
        FailsAtEveryStart fault(chip());
        bench_.powerOn();
        for (int i = 0; i < 5; ++i) {
            runFor(milliseconds(20));
            EXPECT_FALSE(answers());
        }
        runUntil(milliseconds(100));
        ASSERT_EQ(resets().size(), 100u);
        for (std::size_t k = 0; k < resets().size(); ++k) {
            EXPECT_EQ(resets()[k].at, (k + 1) * milliseconds(1));
            EXPECT_EQ(resets()[k].cause, "watchdog timeout");
        }
        EXPECT_FALSE(chip().scheduler().started());
    }
    // Once the fault is gone, the next start is a normal one.
    runUntil(milliseconds(110));
    EXPECT_EQ(resets().size(), 101u);
    EXPECT_TRUE(answers());
}

} // namespace
} // namespace watchdog_test
