// The chip's execution observer: every executed step of both cores, in time
// order per core, and every change of an interrupt line, reported as the
// program runs (rp2040/execution_observer.h).
#include "program_bench.h"

#include "rp2040/address_map.h"

#include <array>
#include <vector>

namespace {

using sim::milliseconds;
using sim::Time;

class Recorder : public sim::rp2040::ExecutionObserver {
public:
    explicit Recorder(sim::rp2040::Rp2040& chip, std::uint32_t handler)
        : chip_(chip), handler_(handler) {}

    void beforeStep(int core, Time at) override {
        EXPECT_EQ(at, chip_.coreTime(core)) << "the step starts at the core's time";
        ++before[std::size_t(core)];
    }
    void afterStep(int core, Time begin, Time end) override {
        const std::size_t n = std::size_t(core);
        EXPECT_LT(begin, end);
        EXPECT_GE(begin, lastEnd[n]) << "steps of one core in time order";
        lastEnd[n] = end;
        ++after[n];
        const sim::arm::Core& c = chip_.core(core);
        if (c.pc() == handler_ &&
            c.currentException() == sim::arm::exc::kFirstExternal + sim::rp2040::irq::kSioProc0)
            entries.push_back(end);
    }
    void irqLine(int core, unsigned irq, bool level, Time at) override {
        if (core == 0 && irq == sim::rp2040::irq::kSioProc0 && level)
            rises.push_back(at);
    }

    std::array<std::uint64_t, 2> before{}, after{};
    std::array<Time, 2> lastEnd{};
    std::vector<Time> rises, entries;

private:
    sim::rp2040::Rp2040& chip_;
    std::uint32_t handler_;
};

class Observer : public ProgramBench {};

TEST_F(Observer, SeesEveryStepAndEachInterruptFromItsLineToItsHandler) {
    LOAD_PROGRAM("fifo_irq");
    Recorder seen(*chip, address("isr_sio_proc0") & ~1u);
    chip->setObserver(&seen);
    chip->powerOn();
    run(milliseconds(2));
    chip->setObserver(nullptr);
    for (int core : {0, 1}) {
        EXPECT_EQ(seen.after[std::size_t(core)], chip->stats().instructions[core]) << core;
        EXPECT_GE(seen.before[std::size_t(core)], seen.after[std::size_t(core)]) << core;
    }
    // Each handler run begins after a rise of its line, before the next rise.
    ASSERT_EQ(seen.entries.size(), word("handler_runs"));
    ASSERT_GE(seen.rises.size(), 2u);
    std::size_t r = 0;
    for (Time entry : seen.entries) {
        while (r + 1 < seen.rises.size() && seen.rises[r + 1] <= entry)
            ++r;
        EXPECT_LE(seen.rises[r], entry);
    }
}

TEST_F(Observer, RemovedItHearsNothingMore) {
    LOAD_PROGRAM("fifo_irq");
    Recorder seen(*chip, 0);
    chip->setObserver(&seen);
    chip->powerOn();
    run(sim::microseconds(20));
    chip->setObserver(nullptr);
    const auto steps = seen.after;
    run(milliseconds(1));
    EXPECT_GT(steps[0], 0u);
    EXPECT_EQ(seen.after, steps);
}

} // namespace
