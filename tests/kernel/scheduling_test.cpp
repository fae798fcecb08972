// Scheduling as FreeRTOS SMP does it on two cores.
#include "kernel_bench.h"

using namespace sim;

using Scheduling = KernelBench;

TEST_F(Scheduling, HigherPriorityTaskWokenFromOtherCorePreemptsAtOnce) {
    static TaskHandle_t high;
    boot([this] {
        high = spawn("high", 5, 0x1, [] {
            for (;;) {
                ulTaskNotifyTake(pdTRUE, portMAX_DELAY);
                bench().note("high runs on core " + std::to_string(core()));
            }
        });
        // A low task keeps core 0 busy; it must lose the core the moment
        // core 1 notifies the high one.
        spawn("low", 1, 0x1, [] {
            for (;;)
                busyUs(100);
        });
        spawn("waker", 3, 0x2, [] {
            vTaskDelay(5);
            bench().note("notify");
            xTaskNotifyGive(high);
            bench().note("waker continues");
            for (;;)
                vTaskDelay(1000);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(10))) << sim.error();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "5000us notify");
    EXPECT_EQ(log[1], "5000us high runs on core 0");
    EXPECT_EQ(log[2], "5000us waker continues");
}

TEST_F(Scheduling, EqualPriorityBusyTasksOnOneCoreAlternateEveryTick) {
    boot([this] {
        for (const char* name : {"A", "B"}) {
            spawn(name, 2, 0x1, [name] {
                std::uint32_t last = ~0u;
                for (;;) {
                    std::uint32_t tick = xTaskGetTickCount();
                    if (tick != last)
                        bench().note(std::string(name) + " at tick " + std::to_string(tick));
                    last = tick;
                    busyUs(50);
                }
            });
        }
    });
    ASSERT_TRUE(sim.runFor(microseconds(4990))) << sim.error();
    std::vector<std::string> expected = {"0us A at tick 0", "1000us B at tick 1",
                                         "2000us A at tick 2", "3000us B at tick 3",
                                         "4000us A at tick 4"};
    EXPECT_EQ(log, expected);
}

TEST_F(Scheduling, TaskPinnedToCoreOneNeverRunsOnCoreZero) {
    static int wrongCore = 0;
    static int runs = 0;
    boot([this] {
        // Core 1 is kept busy by a higher task half of the time; core 0 is
        // idle throughout, and still the pinned task must wait for core 1.
        spawn("pinned", 2, 0x2, [] {
            for (;;) {
                ++runs;
                if (core() != 1)
                    ++wrongCore;
                busyUs(300);
                vTaskDelay(1);
            }
        });
        spawn("hog", 4, 0x2, [] {
            for (;;) {
                busyUs(2000);
                vTaskDelay(2);
            }
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(100))) << sim.error();
    EXPECT_GT(runs, 10);
    EXPECT_EQ(wrongCore, 0);
    EXPECT_EQ(chip.scheduler().findTask("pinned")->affinity, 0x2u);
}

TEST_F(Scheduling, DelayWakesOnTheNthTickBoundary) {
    boot([this] {
        spawn("sleeper", 2, 0x1, [] {
            busyUs(300); // start the delay in the middle of tick 0
            vTaskDelay(3);
            bench().note("woke at tick " + std::to_string(xTaskGetTickCount()));
            vTaskDelay(1);
            bench().note("woke at tick " + std::to_string(xTaskGetTickCount()));
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(10))) << sim.error();
    std::vector<std::string> expected = {"3000us woke at tick 3", "4000us woke at tick 4"};
    EXPECT_EQ(log, expected);
}

TEST_F(Scheduling, DeletedTaskNeverRunsAgainAndSelfDeleteSwitchesAway) {
    static TaskHandle_t victim;
    static int victimRuns = 0;
    boot([this] {
        victim = spawn("victim", 2, 0x1, [] {
            for (;;) {
                ++victimRuns;
                vTaskDelay(1);
            }
        });
        spawn("killer", 3, 0x1, [] {
            vTaskDelay(5);
            vTaskDelete(victim);
            bench().note("deleted victim");
            vTaskDelete(nullptr);
            bench().note("after self delete"); // must never run
            for (;;) {
            }
        });
        spawn("witness", 1, 0x1, [] {
            for (;;) {
                bench().note("witness");
                vTaskDelay(portMAX_DELAY);
            }
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(20))) << sim.error();
    int runsAtDelete = victimRuns;
    ASSERT_TRUE(sim.runFor(milliseconds(20))) << sim.error();
    EXPECT_EQ(victimRuns, runsAtDelete);
    EXPECT_EQ(victimRuns, 5); // ticks 0..4
    EXPECT_EQ(chip.scheduler().findTask("victim"), nullptr);
    EXPECT_EQ(chip.scheduler().findTask("killer"), nullptr);
    std::vector<std::string> expected = {"0us witness", "5000us deleted victim"};
    EXPECT_EQ(log, expected);
}

TEST_F(Scheduling, NamesAreKeptToFifteenCharactersAndPrioritiesClampedTo31) {
    boot([this] {
        spawn("ABCDEFGHIJKLMNOPQRS", 99, 0x3, [] {
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(1))) << sim.error();
    Task* t = chip.scheduler().findTask("ABCDEFGHIJKLMNO");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->priority, 31u);
    // The timer service and both idle tasks exist as configured.
    Task* timer = chip.scheduler().findTask("Tmr Svc");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->priority, 31u);
    EXPECT_EQ(timer->affinity, 0x3u);
    EXPECT_NE(chip.scheduler().findTask("IDLE0"), nullptr);
    EXPECT_NE(chip.scheduler().findTask("IDLE1"), nullptr);
}

TEST_F(Scheduling, TaskCreationFailsWhenTheHeapIsExhausted) {
    static BaseType_t first = 0, second = 0;
    static TaskHandle_t handle = nullptr;
    boot([this] {
        chip.heap().failAllocations(1);
        first = xTaskCreate(
            [](void*) {
                for (;;)
                    vTaskDelay(portMAX_DELAY);
            },
            "nomem", 256, nullptr, 2, &handle);
        second = xTaskCreate(
            [](void*) {
                for (;;)
                    vTaskDelay(portMAX_DELAY);
            },
            "fine", 256, nullptr, 2, nullptr);
    });
    ASSERT_TRUE(sim.runFor(milliseconds(1))) << sim.error();
    EXPECT_EQ(first, errCOULD_NOT_ALLOCATE_REQUIRED_MEMORY);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(second, pdPASS);
    EXPECT_EQ(chip.heap().failedAllocations(), 1u);
}

TEST_F(Scheduling, SchedulerWithoutMemoryForItsOwnTasksReturnsToMain) {
    static int mainReturned = 0;
    chip.setEntry([this] {
        // The first allocations of the start are the idle tasks' stacks.
        chip.heap().failAllocations(1);
        vTaskStartScheduler();
        mainReturned = 1;
        return 0;
    });
    chip.powerOn();
    ASSERT_TRUE(sim.runFor(milliseconds(5))) << sim.error();
    EXPECT_EQ(mainReturned, 1);
    EXPECT_FALSE(chip.scheduler().started());
}
