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
    // Runs until the chip's first reset (at most to `limit`) and returns its
    // time; on the host model also notes the tasks and scheduler just before.
    Time firstResetBefore(Time limit) {
        while (resets().empty() && now() < limit) {
            if constexpr (!image_backend::kElf) {
                tasksAtTheReset_ = taskNames();
                startedAtTheReset_ = hostChip().scheduler().started();
            }
            runFor(microseconds(1));
        }
        return resets().empty() ? sim::kNever : resets()[0].at;
    }

    std::string tasksAtTheReset_;
    bool startedAtTheReset_ = false;

private:
    std::string taskNames() {
        std::string names;
        for (const sim::Task* t : hostChip().scheduler().tasks())
            names += names.empty() ? t->name : std::string(" ") + t->name;
        return names;
    }
};

TEST_P(WatchdogCreation, ResetsTheChipBeforeAnyBoardCode) {
    board_ = &bench_.insert(0, "valdor", imagePath("valdor"));
    feeds_ = std::make_unique<FeedLog>(chip());
    chip().allocationFaults().failAllocations(1, GetParam().skip);
    bench_.powerOn();

    // The real binary's boot code runs before main makes the tasks, so its
    // reset comes up to kStartUp later; on the host model, 1 ms after power-on.
    const Time resetAt = firstResetBefore(milliseconds(1) + kStartUp + microseconds(1));
    EXPECT_EQ(chip().allocationFaults().failedAllocations(), 1u);
    ASSERT_EQ(resets().size(), 1u);
    EXPECT_EQ(resets()[0].cause, "watchdog timeout");
    EXPECT_GE(resetAt, milliseconds(1));
    EXPECT_LE(resetAt, milliseconds(1) + kStartUp);
    if constexpr (!image_backend::kElf) {
        EXPECT_EQ(resetAt, milliseconds(1));
        EXPECT_EQ(tasksAtTheReset_, GetParam().tasksAfter);
        EXPECT_FALSE(startedAtTheReset_);
    }

    // The next start finds a fresh heap and the board runs supervised.
    runUntil(resetAt + milliseconds(9) + kStartUp);
    EXPECT_TRUE(answers());
    runUntil(seconds(1));
    EXPECT_EQ(resets().size(), 1u);
    const std::vector<Time> fed = feeds().between(resetAt, now());
    ASSERT_FALSE(fed.empty());
    if constexpr (!image_backend::kElf) {
        EXPECT_EQ(fed.front(), resetAt); // armed as the board starts again
    }
    EXPECT_EQ(fed.size(), 1 + (now() - fed.front() - 1) / kBeat);
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
        chip_.allocationFaults().failAllocations(1, kFirstWatchdogAllocation);
    }
    ~FailsAtEveryStart() override { chip_.removeObserver(*this); }
    void chipReset(sim::Chip& chip, const std::string&) override {
        chip.allocationFaults().failAllocations(1, kFirstWatchdogAllocation);
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
        // Each start fails its creation and resets 1 ms later; the real
        // binary's boot code comes first each time.
        ASSERT_GE(resets().size(), milliseconds(100) / (milliseconds(1) + kStartUp));
        for (std::size_t k = 0; k < resets().size(); ++k) {
            const Time gap = resets()[k].at - (k == 0 ? 0 : resets()[k - 1].at);
            EXPECT_GE(gap, milliseconds(1)) << k;
            EXPECT_LE(gap, milliseconds(1) + kStartUp) << k;
            if constexpr (!image_backend::kElf) {
                EXPECT_EQ(gap, milliseconds(1)) << k;
            }
            EXPECT_EQ(resets()[k].cause, "watchdog timeout");
        }
        if constexpr (!image_backend::kElf) {
            EXPECT_EQ(resets().size(), 100u);
            EXPECT_FALSE(hostChip().scheduler().started());
        }
    }
    // Once the fault is gone, the next start is a normal one.
    const std::size_t before = resets().size();
    runUntil(milliseconds(110) + kStartUp);
    EXPECT_EQ(resets().size(), before + 1);
    EXPECT_TRUE(answers());
}

} // namespace
} // namespace watchdog_test
