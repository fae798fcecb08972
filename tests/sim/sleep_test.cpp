// sleep_ms as the SDK's FreeRTOS interoperation does it: the alarm interrupt
// on core 0, the event group set by the timer service task, a busy-wait for
// the last 150 us. Each link can hold a sleep up.
#include "chip_bench.h"

#include "hardware/sync.h"
#include "pico/stdlib.h"
#include "timers.h"

namespace {

using sim::microseconds;
using sim::milliseconds;

class SleepTest : public ChipBench {};

TEST_F(SleepTest, SleepEndsOnTimeAndFreesTheCore) {
    int others = 0;
    boot([this, &others] {
        spawn("Sleeper", 3, 0x2, [this] {
            note("sleep");
            sleep_ms(26);
            note("awake");
            for (;;)
                vTaskDelay(1000);
        });
        spawn("Other", 2, 0x2, [&others] {
            for (;;) {
                ++others;
                vTaskDelay(1);
            }
        });
    });
    run(milliseconds(30));
    EXPECT_EQ(log, (Lines{"0us sleep", "26000us awake"}));
    // The other task ran on the sleeper's core while it slept.
    EXPECT_GE(others, 26);
}

TEST_F(SleepTest, TheLastStretchIsABusyWait) {
    int ranDuringWait = 0;
    boot([this, &ranDuringWait] {
        spawn("Sleeper", 3, 0x2, [this] {
            vTaskDelay(1);
            sleep_us(100); // shorter than the wake-up margin: busy all along
            note("awake");
            for (;;)
                vTaskDelay(1000);
        });
        spawn("Other", 2, 0x2, [this, &ranDuringWait] {
            vTaskDelay(1);
            note("other");
            ++ranDuringWait;
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(2));
    EXPECT_EQ(log, (Lines{"1100us awake", "1100us other"}));
    EXPECT_EQ(ranDuringWait, 1);
}

TEST_F(SleepTest, StarvedTimerServiceTaskHoldsTheSleeperUp) {
    boot([this] {
        // A timer callback that keeps the timer service task busy from 5 ms to
        // 45 ms: the alarm at 9.85 ms finds no one to set the event bit.
        TimerHandle_t hog =
            xTimerCreate("Hog", 5, pdFALSE, nullptr, [](TimerHandle_t) { busy_wait_us(40000); });
        xTimerStart(hog, 0);
        spawn("Sleeper", 3, 0x2, [this] {
            sleep_ms(10);
            note("awake");
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(50));
    EXPECT_EQ(log, (Lines{"45000us awake"}));
}

TEST_F(SleepTest, MaskedCore0HoldsTheAlarmInterruptUp) {
    boot([this] {
        spawn("Masker", 2, 0x1, [] {
            vTaskDelay(1);
            uint32_t saved = save_and_disable_interrupts();
            busy_wait_us(30000);
            restore_interrupts(saved);
            for (;;)
                vTaskDelay(1000);
        });
        spawn("Sleeper", 3, 0x2, [this] {
            sleep_ms(10);
            note("awake");
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(40));
    EXPECT_EQ(log, (Lines{"31000us awake"}));
}

TEST_F(SleepTest, SleepBeforeTheSchedulerWaitsForTheAlarm) {
    boot([this] {
        sleep_ms(3);
        note("main awake");
    });
    run(milliseconds(4));
    EXPECT_EQ(log, (Lines{"3000us main awake"}));
}

TEST_F(SleepTest, SleepInAnInterruptHandlerStopsTheRun) {
    boot([this] {
        spawn("Arm", 2, 0x1, [] {
            add_alarm_in_ms(
                1,
                [](alarm_id_t, void*) -> int64_t {
                    sleep_ms(1);
                    return 0;
                },
                nullptr, false);
            for (;;)
                vTaskDelay(1000);
        });
    });
    EXPECT_FALSE(sim.runFor(milliseconds(2)));
    EXPECT_NE(sim.error().find("sleep inside an interrupt handler"), std::string::npos)
        << sim.error();
}

TEST_F(SleepTest, AlarmsRepeatAndCancel) {
    boot([this] {
        spawn("Alarms", 2, 0x1, [this] {
            alarm_id_t id = add_alarm_in_us(
                1000,
                [](alarm_id_t, void*) -> int64_t {
                    bench().note("tick");
                    return -500; // again 500 us after this target
                },
                nullptr, false);
            vTaskDelay(3);
            busy_wait_us(200);
            cancel_alarm(id);
            note(id > 0 ? "cancelled" : "no id");
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(5));
    EXPECT_EQ(log, (Lines{"1000us tick", "1500us tick", "2000us tick", "2500us tick", "3000us tick",
                          "3200us cancelled"}));
}

} // namespace
