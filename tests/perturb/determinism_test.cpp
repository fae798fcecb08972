// A perturbed run is a function of its seed: the same seed gives the same
// trace, byte for byte; another seed, or none, gives another schedule.
#include "harness/bench.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

using sim::microseconds;
using sim::milliseconds;
using sim::Time;

constexpr std::uint8_t kAddress = 0x27;

struct Outcome {
    std::string trace;
    std::vector<std::uint8_t> outputs;
};

// A valdor under host traffic, every kernel event and every probe record in
// one text.
Outcome runValdor(std::optional<std::uint64_t> seed) {
    sim::Bench bench;
    if (seed)
        bench.setPerturbation(*seed);
    else
        bench.simulation().clearPerturbation();
    Outcome run;
    bench.simulation().setTrace([&run](Time t, const std::string& line) {
        run.trace += std::to_string(t) + " " + line + "\n";
    });
    bench.setTraceSink([&run](const sim::Record& r) { run.trace += r.line() + "\n"; });
    bench.insert(0, "valdor", BOARD_IMAGE_DIR "/valdor.so");
    bench.powerOn();
    EXPECT_TRUE(bench.run(milliseconds(5))) << bench.error();
    for (std::uint8_t v : {0x5Au, 0xA5u, 0x0Fu}) {
        bench.writeRegisters(kAddress, 0x50, {v, 0x03});
        bench.readRegisters(kAddress, 0x05, 1);
        EXPECT_TRUE(bench.run(microseconds(700))) << bench.error();
    }
    run.outputs = bench.readRegisters(kAddress, 0x50, 2);
    EXPECT_TRUE(bench.run(milliseconds(20))) << bench.error();
    return run;
}

TEST(PerturbedDeterminism, TheSameSeedGivesTheSameTraceByteForByte) {
    const Outcome first = runValdor(7);
    const Outcome second = runValdor(7);
    EXPECT_GT(first.trace.size(), 5000u);
    // Context switches of the kernel as well as what the probes saw.
    EXPECT_NE(first.trace.find("core 1 runs"), std::string::npos);
    EXPECT_EQ(first.trace, second.trace);
    EXPECT_EQ(first.outputs, (std::vector<std::uint8_t>{0x0F, 0x03}));
}

TEST(PerturbedDeterminism, AnotherSeedOrNoneGivesAnotherSchedule) {
    const Outcome plain = runValdor(std::nullopt);
    const Outcome seven = runValdor(7);
    const Outcome eight = runValdor(8);
    EXPECT_NE(plain.trace, seven.trace);
    EXPECT_NE(seven.trace, eight.trace);
    // What the host asked for holds under every schedule.
    for (const Outcome* r : {&plain, &seven, &eight})
        EXPECT_EQ(r->outputs, (std::vector<std::uint8_t>{0x0F, 0x03}));
}

} // namespace
