// A simulated chip for conformance tests: a test writes its main and its task
// bodies as lambdas against the RTOS and SDK API, runs virtual time, and reads
// what happened from a log with virtual timestamps. ChipT is a bare processor
// (RTOS tests) or a whole chip with its peripherals (SDK tests).
#pragma once

#include "kernel/processor.h"
#include "engine/simulation.h"

#include "FreeRTOS.h"
#include "task.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

template <class ChipT>
class LambdaBench : public ::testing::Test {
public:
    using Body = std::function<void()>;

    explicit LambdaBench(const char* chipName) : chip{sim, chipName} { instance_ = this; }
    ~LambdaBench() override { instance_ = nullptr; }

    static LambdaBench& bench() { return *instance_; }

    // Runs `setup` as main, then starts the scheduler.
    void boot(Body setup) {
        setup_ = std::move(setup);
        auto main = [this] {
            setup_();
            vTaskStartScheduler();
            return 0;
        };
        // A whole chip sets up its SDK runtime before main, as the real one does.
        if constexpr (std::is_same_v<ChipT, sim::Processor>)
            chip.setEntry(main);
        else
            chip.setMain(main);
        chip.powerOn();
    }

    // Creates a task whose body is a lambda (from main or from a task).
    TaskHandle_t spawn(const char* name, UBaseType_t priority, UBaseType_t affinity, Body body) {
        bodies_.push_back(std::make_unique<Body>(std::move(body)));
        TaskHandle_t handle = nullptr;
        xTaskCreateAffinitySet(&LambdaBench::trampoline, name, 256, bodies_.back().get(), priority,
                               affinity, &handle);
        return handle;
    }

    // Runs the world for `d`; the run must not stop on an error.
    void run(sim::Time d) { ASSERT_TRUE(sim.runFor(d)) << sim.error(); }

    void note(const std::string& what) { log.push_back(stamp() + " " + what); }
    std::string stamp() const { return std::to_string(sim.now() / 1000) + "us"; }
    static std::uint64_t nowUs() { return bench().sim.now() / 1000; }
    static sim::Time now() { return bench().sim.now(); }
    static int core() { return static_cast<int>(xPortGetCoreID()); }
    static void busyUs(std::uint64_t us) {
        sim::Processor::current().busyWaitFor(sim::microseconds(us));
    }

    sim::Simulation sim;
    ChipT chip;
    std::vector<std::string> log;

private:
    static void trampoline(void* arg) { (*static_cast<Body*>(arg))(); }

    static inline LambdaBench* instance_ = nullptr;
    Body setup_;
    std::vector<std::unique_ptr<Body>> bodies_;
};
