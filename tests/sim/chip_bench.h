// A simulated chip for the conformance tests of its peripherals: a test
// writes its program as lambdas against the SDK and RTOS API, runs virtual
// time, and reads what happened from a log with virtual timestamps.
#pragma once

#include "chip/chip.h"
#include "kernel/simulation.h"

#include "FreeRTOS.h"
#include "task.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ChipBench : public ::testing::Test {
public:
    using Body = std::function<void()>;

    ChipBench() { instance_ = this; }
    ~ChipBench() override { instance_ = nullptr; }

    static ChipBench& bench() { return *instance_; }

    // Runs `setup` as main, then starts the scheduler.
    void boot(Body setup) {
        setup_ = std::move(setup);
        chip.setMain([this] {
            setup_();
            vTaskStartScheduler();
            return 0;
        });
        chip.powerOn();
    }

    // Creates a task whose body is a lambda (from main or from a task).
    TaskHandle_t spawn(const char* name, UBaseType_t priority, UBaseType_t affinity, Body body) {
        bodies_.push_back(std::make_unique<Body>(std::move(body)));
        TaskHandle_t handle = nullptr;
        xTaskCreateAffinitySet(&ChipBench::trampoline, name, 256, bodies_.back().get(), priority,
                               affinity, &handle);
        return handle;
    }

    // Runs the world for `d`; the run must not stop on an error.
    void run(sim::Time d) { ASSERT_TRUE(sim.runFor(d)) << sim.error(); }

    void note(const std::string& what) { log.push_back(std::to_string(nowUs()) + "us " + what); }
    static std::uint64_t nowUs() { return bench().sim.now() / 1000; }
    static sim::Time now() { return bench().sim.now(); }

    sim::Simulation sim;
    sim::Chip chip{sim, "board"};
    std::vector<std::string> log;

private:
    static void trampoline(void* arg) { (*static_cast<Body*>(arg))(); }

    static inline ChipBench* instance_ = nullptr;
    Body setup_;
    std::vector<std::unique_ptr<Body>> bodies_;
};

using Lines = std::vector<std::string>;
