// Watches a real image on the simulated chip: which tasks ran (their control
// blocks, from pxCurrentTCBs), the cycles each core spends outside the idle
// tasks, and the interrupt latency of every interrupt line.
#pragma once

#include "irq_latency.h"
#include "rp2040/execution_observer.h"
#include "rp2040/rp2040.h"

#include <array>
#include <cstdint>
#include <set>

class ChipProbe : public sim::rp2040::ExecutionObserver {
public:
    explicit ChipProbe(sim::rp2040::Rp2040& chip);
    ~ChipProbe() override;
    ChipProbe(const ChipProbe&) = delete;
    ChipProbe& operator=(const ChipProbe&) = delete;

    void beforeStep(int core, sim::Time at) override;
    void afterStep(int core, sim::Time begin, sim::Time end) override;
    void irqLine(int core, unsigned irq, bool level, sim::Time at) override;

    // The load counts from here on.
    void startLoad(sim::Time at);
    // Share of the time since startLoad() that core n spent executing
    // handlers or tasks other than the idle tasks.
    double load(int core, sim::Time now) const;

    const IrqLatency& latency() const { return latency_; }
    const std::set<std::uint32_t>& tasksSeen() const { return tasks_; }

private:
    bool idleTask(std::uint32_t tcb);

    sim::rp2040::Rp2040& chip_;
    std::uint32_t idleHandlesAt_ = 0;
    std::array<std::uint32_t, 2> idle_{};
    std::array<std::uint32_t, 2> lastTcb_{};
    std::array<bool, 2> busyStep_{};
    std::array<sim::Time, 2> busy_{};
    sim::Time loadFrom_ = 0;
    IrqLatency latency_;
    std::set<std::uint32_t> tasks_;
};
