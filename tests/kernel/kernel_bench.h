// A bare simulated chip for RTOS conformance tests: tests write their own
// main and task bodies as lambdas and read what happened from a log with
// virtual timestamps.
#pragma once

#include "kernel/processor.h"
#include "kernel/timer_service.h"

#include "FreeRTOS.h"
#include "queue.h"
#include "task.h"
#include "timers.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class KernelBench : public ::testing::Test {
public:
    using Body = std::function<void()>;

    KernelBench() { instance_ = this; }
    ~KernelBench() override { instance_ = nullptr; }

    static KernelBench& bench() { return *instance_; }

    // Runs `setup` as main, then starts the scheduler.
    void boot(Body setup) {
        setup_ = std::move(setup);
        chip.setEntry([this] {
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
        xTaskCreateAffinitySet(&KernelBench::trampoline, name, 256, bodies_.back().get(), priority,
                               affinity, &handle);
        return handle;
    }

    void note(const std::string& what) { log.push_back(stamp() + " " + what); }
    std::string stamp() const { return std::to_string(sim.now() / 1000) + "us"; }
    static std::uint64_t nowUs() { return bench().sim.now() / 1000; }
    static int core() { return static_cast<int>(xPortGetCoreID()); }
    static void busyUs(std::uint64_t us) {
        sim::Processor::current().busyWaitFor(sim::microseconds(us));
    }

    sim::Simulation sim;
    sim::Processor chip{sim, "chip"};
    std::vector<std::string> log;

private:
    static void trampoline(void* arg) { (*static_cast<Body*>(arg))(); }

    static inline KernelBench* instance_ = nullptr;
    Body setup_;
    std::vector<std::unique_ptr<Body>> bodies_;
};
