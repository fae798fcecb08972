// Software timers run by the timer service task.
#include "kernel_bench.h"

using namespace sim;

using Timers = KernelBench;

namespace {
TimerHandle_t g_timer;
void expired(TimerHandle_t t) {
    KernelBench* b = static_cast<KernelBench*>(pvTimerGetTimerID(t));
    (void)b;
    // The log is reached through the running test.
}
} // namespace

TEST_F(Timers, OneShotRestartedEvery400TicksFiresOnce500TicksAfterTheLastRestart) {
    static std::vector<std::uint32_t> fired;
    fired.clear();
    boot([this] {
        g_timer = xTimerCreate("HeartbeatTimer", 500, pdFALSE, nullptr,
                               [](TimerHandle_t) { fired.push_back(xTaskGetTickCount()); });
        spawn("host", 2, 0x1, [] {
            for (int i = 0; i < 10; ++i) {
                xTimerReset(g_timer, 10);
                vTaskDelay(400);
            }
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(6000))) << sim.error();
    // Last restart at tick 3600: exactly one expiry, at 4100.
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], 4100u);
}

TEST_F(Timers, ResetWithAFullCommandQueueAndNoBlockTimeFailsAtOnce) {
    static std::vector<BaseType_t> results;
    static std::uint64_t startedAt, endedAt;
    results.clear();
    boot([this] {
        g_timer = xTimerCreate("T", 100, pdFALSE, nullptr, expired);
        // Both cores are held at the timer service task's own priority, so
        // nothing drains its command queue.
        spawn("flood", 31, 0x1, [] {
            startedAt = nowUs();
            for (int i = 0; i < 11; ++i)
                results.push_back(xTimerReset(g_timer, 0));
            endedAt = nowUs();
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
        spawn("hog", 31, 0x2, [] {
            for (;;)
                busyUs(1000);
        });
    });
    ASSERT_TRUE(sim.runFor(microseconds(500))) << sim.error();
    ASSERT_EQ(results.size(), 11u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(results[i], pdPASS) << i;
    EXPECT_EQ(results[10], pdFAIL);
    EXPECT_EQ(startedAt, endedAt);
}

TEST_F(Timers, ResetWithABlockTimeWaitsUntilTheServiceTaskMakesRoom) {
    static BaseType_t result;
    static std::uint64_t at;
    boot([this] {
        g_timer = xTimerCreate("T", 100, pdFALSE, nullptr, expired);
        spawn("flood", 31, 0x1, [] {
            busyUs(300);
            for (int i = 0; i < 10; ++i)
                xTimerReset(g_timer, 0);
            // Blocking frees core 0 for the service task, which drains the queue.
            result = xTimerReset(g_timer, 7);
            at = nowUs();
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
        spawn("hog", 31, 0x2, [] {
            for (;;)
                busyUs(1000);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(1))) << sim.error();
    EXPECT_EQ(result, pdPASS);
    EXPECT_EQ(at, 300u);
}

TEST_F(Timers, ActiveOnlyBetweenAHandledRestartAndTheExpiry) {
    static std::vector<std::string> seen;
    seen.clear();
    boot([this] {
        g_timer = xTimerCreate("DebounceTimer", 10, pdFALSE, nullptr,
                               [](TimerHandle_t) { seen.push_back("expired"); });
        spawn("watcher", 2, 0x1, [] {
            auto look = [](const char* when) {
                seen.push_back(std::string(when) +
                               (xTimerIsTimerActive(g_timer) ? " active" : " dormant"));
            };
            look("before");
            vTaskDelay(1);
            xTimerReset(g_timer, 0);
            look("after reset");
            vTaskDelay(9);
            look("tick 10");
            vTaskDelay(1);
            look("tick 11");
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(20))) << sim.error();
    // The service task has the highest priority, so the reset is handled
    // before the caller continues; expiry at tick 11 comes before the watcher.
    std::vector<std::string> expected = {"before dormant", "after reset active", "tick 10 active",
                                         "expired", "tick 11 dormant"};
    EXPECT_EQ(seen, expected);
}

TEST_F(Timers, AutoReloadTimerKeepsItsPeriodAndPendedCallsRunInTheServiceTask) {
    static std::vector<std::uint32_t> ticks;
    static std::vector<std::string> pended;
    ticks.clear();
    pended.clear();
    boot([this] {
        g_timer = xTimerCreate("T", 250, pdTRUE, nullptr,
                               [](TimerHandle_t) { ticks.push_back(xTaskGetTickCount()); });
        xTimerStart(g_timer, 0);
        chip.setIrqHandler(5, [] {
            BaseType_t woken = pdFALSE;
            xTimerPendFunctionCallFromISR(
                [](void*, uint32_t v) {
                    pended.push_back(std::string(pcTaskGetName(nullptr)) + " " + std::to_string(v));
                },
                nullptr, 42, &woken);
            bench().chip.setIrqLine(5, false);
            portYIELD_FROM_ISR(woken);
        });
        chip.setIrqEnabled(0, 5, true);
    });
    static CallbackEvent raise;
    raise.set([this] { chip.setIrqLine(5, true); });
    sim.schedule(raise, microseconds(300500));
    ASSERT_TRUE(sim.runFor(milliseconds(1000))) << sim.error();
    std::vector<std::uint32_t> expected = {250, 500, 750, 1000};
    EXPECT_EQ(ticks, expected);
    ASSERT_EQ(pended.size(), 1u);
    EXPECT_EQ(pended[0], "Tmr Svc 42");
}
