// Direct-to-task notifications and queues between tasks and interrupts.
#include "kernel_bench.h"

using namespace sim;

using Notifications = KernelBench;

TEST_F(Notifications, GivesWhileNotWaitingCollapseForTheWaitButCountForTake) {
    static TaskHandle_t waiter, taker;
    static std::vector<std::string> seen;
    seen.clear();
    boot([this] {
        waiter = spawn("waiter", 2, 0x1, [] {
            vTaskDelay(10);
            BaseType_t first = xTaskNotifyWait(0, 0, nullptr, 0);
            BaseType_t second = xTaskNotifyWait(0, 0, nullptr, 0);
            seen.push_back("wait " + std::to_string(first) + std::to_string(second));
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
        taker = spawn("taker", 2, 0x1, [] {
            vTaskDelay(10);
            std::uint32_t n = ulTaskNotifyTake(pdFALSE, 0);
            seen.push_back("take " + std::to_string(n));
            n = ulTaskNotifyTake(pdTRUE, 0);
            seen.push_back("take " + std::to_string(n));
            n = ulTaskNotifyTake(pdTRUE, 0);
            seen.push_back("take " + std::to_string(n));
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
        spawn("sender", 3, 0x2, [] {
            for (int i = 0; i < 3; ++i) {
                xTaskGenericNotify(waiter, 0, 0, eNoAction, nullptr);
                xTaskNotifyGive(taker);
            }
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(20))) << sim.error();
    // Three notifications while not waiting: one pending state for the wait,
    // a count of three for take.
    std::vector<std::string> expected = {"wait 10", "take 3", "take 2", "take 0"};
    EXPECT_EQ(seen, expected);
}

TEST_F(Notifications, NotifyActionsAndClearMasks) {
    static TaskHandle_t target;
    static std::vector<std::uint32_t> values;
    static std::vector<BaseType_t> results;
    values.clear();
    results.clear();
    boot([this] {
        target = spawn("target", 2, 0x1, [] {
            vTaskDelay(5);
            std::uint32_t v = 0;
            for (int i = 0; i < 2; ++i) {
                xTaskNotifyWait(0x0F, 0xF0, &v, portMAX_DELAY);
                values.push_back(v);
            }
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
        spawn("sender", 3, 0x1, [] {
            results.push_back(xTaskNotify(target, 0xFF, eSetValueWithOverwrite));
            results.push_back(xTaskNotify(target, 0x100, eSetBits));
            results.push_back(xTaskNotify(target, 7, eSetValueWithoutOverwrite));
            vTaskDelay(10);
            results.push_back(xTaskNotify(target, 0, eIncrement));
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(20))) << sim.error();
    std::vector<BaseType_t> expectedResults = {pdPASS, pdPASS, pdFAIL, pdPASS};
    EXPECT_EQ(results, expectedResults);
    // Pending when the wait began: no entry clear, 0x1FF seen, exit clear of
    // 0xF0 leaves 0x10F; the next wait clears 0x0F on entry, then +1.
    std::vector<std::uint32_t> expectedValues = {0x1FF, 0x101};
    EXPECT_EQ(values, expectedValues);
}

TEST_F(Notifications, IsrSendWakesHigherPriorityTaskBeforeTheInterruptedTaskContinues) {
    static QueueHandle_t q;
    boot([this] {
        q = xQueueCreate(4, sizeof(std::uint16_t));
        spawn("receiver", 5, 0x1, [] {
            for (;;) {
                std::uint16_t item = 0;
                xQueueReceive(q, &item, portMAX_DELAY);
                bench().note("received " + std::to_string(item));
            }
        });
        spawn("worker", 2, 0x1, [] {
            for (;;) {
                busyUs(10);
                if (nowUs() == 2010 || nowUs() == 2020)
                    bench().note("worker");
            }
        });
        chip.setIrqHandler(13, [] {
            std::uint16_t item = 0x0F02;
            BaseType_t woken = pdFALSE;
            xQueueSendFromISR(q, &item, &woken);
            bench().chip.setIrqLine(13, false);
            bench().note(std::string("isr woken=") + (woken ? "1" : "0"));
            portYIELD_FROM_ISR(woken);
        });
        chip.setIrqEnabled(0, 13, true);
    });
    static CallbackEvent edge;
    edge.set([this] { chip.setIrqLine(13, true); });
    sim.schedule(edge, microseconds(2005));
    ASSERT_TRUE(sim.runFor(microseconds(2015))) << sim.error();
    std::vector<std::string> expected = {"2005us isr woken=1", "2005us received 3842",
                                         "2010us worker"};
    EXPECT_EQ(log, expected);
}

TEST_F(Notifications, QueueSendWaitsForRoomAndTimesOutOnTheTick) {
    static QueueHandle_t q;
    static std::vector<std::string> seen;
    seen.clear();
    boot([this] {
        q = xQueueCreate(1, 1);
        spawn("sender", 2, 0x1, [] {
            std::uint8_t v = 1;
            xQueueSend(q, &v, 0);
            BaseType_t r = xQueueSendToBack(q, &v, 5);
            seen.push_back("timed out " + std::to_string(r) + " at " +
                           std::to_string(xTaskGetTickCount()));
            r = xQueueSend(q, &v, portMAX_DELAY);
            seen.push_back("sent " + std::to_string(r) + " at " +
                           std::to_string(xTaskGetTickCount()));
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
        spawn("receiver", 1, 0x2, [] {
            vTaskDelay(20);
            std::uint8_t v;
            xQueueReceive(q, &v, 0);
            seen.push_back("received, " + std::to_string(uxQueueMessagesWaiting(q)) + " left");
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    ASSERT_TRUE(sim.runFor(milliseconds(30))) << sim.error();
    std::vector<std::string> expected = {"timed out 0 at 5", "sent 1 at 20", "received, 1 left"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(chip.scheduler().findQueue("TmrQ"), &chip.scheduler().timers().queue());
}
