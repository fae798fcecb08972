// BOARDS_PERTURB_SEED=N runs every bench of this suite with the schedule
// perturbed by seed N (engine/perturbation.h). A failing test then says how
// to run it again with the same seed.
#include "engine/simulation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class ReplayHint : public ::testing::EmptyTestEventListener {
public:
    explicit ReplayHint(std::uint64_t seed) : seed_(seed) {}

    void OnTestStart(const ::testing::TestInfo& info) override {
        told_ = false;
        test_ = std::string(info.test_suite_name()) + "." + info.name();
    }
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (!result.failed() || told_)
            return;
        told_ = true;
        std::printf("perturbation seed %llu; replay: BOARDS_PERTURB_SEED=%llu image_tests "
                    "--gtest_filter=%s\n",
                    static_cast<unsigned long long>(seed_), static_cast<unsigned long long>(seed_),
                    test_.c_str());
    }

private:
    std::uint64_t seed_;
    bool told_ = false;
    std::string test_;
};

class PerturbedRun : public ::testing::Environment {
public:
    explicit PerturbedRun(std::uint64_t seed) : seed_(seed) {}
    void SetUp() override {
        sim::Simulation::setDefaultPerturbation(seed_);
        ::testing::UnitTest::GetInstance()->listeners().Append(new ReplayHint(seed_));
        std::printf("schedule perturbed with seed %llu\n", static_cast<unsigned long long>(seed_));
    }

private:
    std::uint64_t seed_;
};

const bool g_registered = [] {
    const char* text = std::getenv("BOARDS_PERTURB_SEED");
    if (!text || !*text)
        return false;
    char* end = nullptr;
    const unsigned long long seed = std::strtoull(text, &end, 0);
    if (*end != '\0') {
        std::fprintf(stderr, "BOARDS_PERTURB_SEED must be a number, not \"%s\"\n", text);
        std::exit(2);
    }
    ::testing::AddGlobalTestEnvironment(new PerturbedRun(seed));
    return true;
}();

} // namespace
