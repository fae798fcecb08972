// The RTOS critical section as the SMP kernel has it: leaving the outer one
// enables interrupts outright and takes a yield that became pending inside;
// before the scheduler starts, entering masks core 0 and leaving does not
// unmask it, so interrupts wait for the first task.
#include "kernel_bench.h"

using namespace sim;

namespace {

constexpr unsigned kIrq = 7;

void onIrq() {
    KernelBench::bench().chip.setIrqLine(kIrq, false);
    KernelBench::bench().note("interrupt on core " + std::to_string(KernelBench::core()));
}

class CriticalSection : public KernelBench {
protected:
    void installIrq() {
        chip.setIrqHandler(kIrq, &onIrq);
        chip.setIrqEnabled(0, kIrq, true);
    }
};

TEST_F(CriticalSection, LeavingTheOuterSectionEnablesInterruptsMaskedBeforeIt) {
    boot([this] {
        installIrq();
        spawn("Masker", 2, 0x1, [] {
            vTaskDelay(1);
            // Masked before the section: the kernel's exit does not give
            // the earlier state back, it enables.
            ulPortSetInterruptMask();
            bench().chip.setIrqLine(kIrq, true);
            taskENTER_CRITICAL();
            taskENTER_CRITICAL();
            taskEXIT_CRITICAL();
            bench().note("inner left");
            taskEXIT_CRITICAL();
            bench().note("outer left");
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    run(milliseconds(2));
    EXPECT_EQ(log, (std::vector<std::string>{"1000us inner left", "1000us interrupt on core 0",
                                             "1000us outer left"}));
    EXPECT_FALSE(chip.interruptsMasked(0));
}

TEST_F(CriticalSection, AYieldPendingInsideIsTakenAtTheExit) {
    static TaskHandle_t high;
    boot([this] {
        high = spawn("High", 3, 0x1, [] {
            for (;;) {
                ulTaskNotifyTake(pdTRUE, portMAX_DELAY);
                bench().note("High runs");
            }
        });
        spawn("Low", 1, 0x1, [] {
            vTaskDelay(1);
            taskENTER_CRITICAL();
            xTaskNotifyGive(high);
            bench().note("Low still inside");
            taskEXIT_CRITICAL();
            bench().note("Low goes on");
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    run(milliseconds(2));
    EXPECT_EQ(log, (std::vector<std::string>{"1000us Low still inside", "1000us High runs",
                                             "1000us Low goes on"}));
}

TEST_F(CriticalSection, BeforeTheSchedulerInterruptsStayMaskedUntilItStarts) {
    boot([this] {
        installIrq();
        taskENTER_CRITICAL();
        taskEXIT_CRITICAL();
        chip.setIrqLine(kIrq, true);
        busyUs(300);
        note("main starts the scheduler");
        spawn("Task", 1, 0x1, [] {
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    run(milliseconds(1));
    EXPECT_EQ(log, (std::vector<std::string>{"300us main starts the scheduler",
                                             "300us interrupt on core 0"}));
}

} // namespace
