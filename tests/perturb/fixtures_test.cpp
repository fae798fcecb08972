// The perturbed schedule finds the races it is meant to find: each fixture
// passes under the plain schedule and fails under the CI seeds.
#include "fixtures.h"

#include "harness/bench.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using sim::milliseconds;
using sim::Time;

struct Outcome {
    bool finished = false;
    std::uint32_t faults = 0;
};

struct Fixture {
    const char* name;
    int (*main)();
    Time runFor;
    Outcome (*outcome)();
};

Outcome counterOutcome() {
    const CounterResult r = counterFixtureResult();
    // Every increment lost is one the other side's write covered.
    return {r.finished, r.byTask + r.byInterrupt - r.counted};
}

Outcome handoffOutcome() {
    const HandoffResult r = handoffFixtureResult();
    return {r.rounds == 50, r.staleAnswers};
}

const Fixture kFixtures[] = {
    {"CounterSharedWithAnInterrupt", &counterFixtureMain, milliseconds(30), &counterOutcome},
    {"NotifyThenRead", &handoffFixtureMain, milliseconds(60), &handoffOutcome},
};

const std::vector<std::uint64_t> kCiSeeds = {BOARDS_CI_PERTURB_SEEDS};

Outcome runFixture(const Fixture& f, std::optional<std::uint64_t> seed) {
    sim::Bench bench;
    if (seed)
        bench.setPerturbation(*seed);
    else
        bench.simulation().clearPerturbation();
    bench.insertProgram(0, sim::BoardKind::Bare, f.main);
    bench.powerOn();
    EXPECT_TRUE(bench.run(f.runFor)) << bench.error();
    return f.outcome();
}

class PerturbedRaces : public ::testing::TestWithParam<Fixture> {};

TEST_P(PerturbedRaces, ThePlainSchedulePassesIt) {
    const Outcome o = runFixture(GetParam(), std::nullopt);
    EXPECT_TRUE(o.finished);
    EXPECT_EQ(o.faults, 0u);
}

TEST_P(PerturbedRaces, EveryCiSeedCatchesIt) {
    ASSERT_FALSE(kCiSeeds.empty());
    for (std::uint64_t seed : kCiSeeds) {
        const Outcome o = runFixture(GetParam(), seed);
        EXPECT_TRUE(o.finished) << "seed " << seed;
        EXPECT_GT(o.faults, 0u) << "seed " << seed << " did not catch the race";
        std::printf("seed %llu: %u faults\n", static_cast<unsigned long long>(seed), o.faults);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PerturbedRaces, ::testing::ValuesIn(kFixtures),
                         [](const ::testing::TestParamInfo<Fixture>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
