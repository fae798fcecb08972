// A loop that polls time_reached spins on the chip while the timer counts:
// it ends at its deadline (or at what else it waits for), in main as in a
// task, instead of holding virtual time still.
#include "chip_bench.h"

#include "pico/stdlib.h"

namespace {

using sim::microseconds;
using sim::milliseconds;

class TimePolling : public ChipBench {};

TEST_F(TimePolling, APollingLoopEndsAtItsDeadlineInMainAndInATask) {
    boot([this] {
        const absolute_time_t inMain = make_timeout_time_us(250);
        while (!time_reached(inMain)) {
        }
        note("main's deadline");
        spawn("Poller", 1, 0x2, [this] {
            vTaskDelay(1);
            const absolute_time_t deadline = make_timeout_time_us(1500);
            while (!time_reached(deadline)) {
            }
            note("task's deadline");
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    run(milliseconds(5));
    EXPECT_EQ(log, (Lines{"250us main's deadline", "2750us task's deadline"}));
}

TEST_F(TimePolling, ATimeoutLoopSeesAFlagSetByAnInterruptWithinAMicrosecond) {
    static volatile bool flag;
    flag = false;
    boot([this] {
        spawn("Waiter", 1, 0x1, [this] {
            vTaskDelay(1);
            add_alarm_in_us(
                40,
                [](alarm_id_t, void*) -> int64_t {
                    flag = true;
                    return 0;
                },
                nullptr, true);
            const absolute_time_t deadline = make_timeout_time_ms(10);
            while (!time_reached(deadline) && !flag) {
            }
            note(flag ? "flag" : "timeout");
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    run(milliseconds(20));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "1040us flag");
}

} // namespace
