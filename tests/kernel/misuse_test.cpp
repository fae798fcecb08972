// Misuse that would hang or corrupt a real chip stops the run with a message
// naming the context.
#include "kernel_bench.h"

using namespace sim;

using Misuse = KernelBench;

TEST_F(Misuse, BlockingInsideACriticalSectionStopsTheRun) {
    boot([this] {
        spawn("Locker", 2, 0x1, [] {
            std::uint32_t saved = Processor::current().saveAndDisableInterrupts();
            Processor::current().spinLockAcquire(20);
            vTaskDelay(1);
            Processor::current().spinLockRelease(20);
            Processor::current().restoreInterrupts(saved);
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    EXPECT_FALSE(sim.runFor(milliseconds(5)));
    EXPECT_EQ(sim.error(),
              "chip: task \"Locker\" on core 0: blocking call inside a critical section");
}

TEST_F(Misuse, ATaskBodyThatReturnsStopsTheRun) {
    boot([] { xTaskCreate([](void*) {}, "Quitter", 256, nullptr, 2, nullptr); });
    EXPECT_FALSE(sim.runFor(milliseconds(1)));
    EXPECT_NE(sim.error().find("task \"Quitter\""), std::string::npos) << sim.error();
    EXPECT_NE(sim.error().find("task body returned"), std::string::npos) << sim.error();
}

TEST_F(Misuse, TakingASpinLockTwiceOnOneCoreStopsTheRun) {
    boot([this] {
        spawn("Twice", 2, 0x2, [] {
            Processor::current().spinLockAcquire(21);
            Processor::current().spinLockAcquire(21);
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    EXPECT_FALSE(sim.runFor(milliseconds(1)));
    EXPECT_EQ(sim.error(), "chip: task \"Twice\" on core 1: spin lock 21 taken twice on core 1");
}

TEST_F(Misuse, ALoopWithoutTimeIsALivelockNamingTheTask) {
    sim.setLivelockLimit(10000);
    boot([this] {
        spawn("Spinner", 2, 0x1, [] {
            for (;;)
                Processor::current().poll(); // polls a flag nobody sets
        });
    });
    EXPECT_FALSE(sim.runFor(milliseconds(1)));
    EXPECT_NE(sim.error().find("livelock: Spinner"), std::string::npos) << sim.error();
    EXPECT_EQ(sim.now(), 0u);
}

TEST_F(Misuse, BlockingCallFromAnInterruptHandlerStopsTheRun) {
    static QueueHandle_t q;
    boot([this] {
        q = xQueueCreate(1, 1);
        chip.setIrqHandler(7, [] {
            std::uint8_t v;
            xQueueReceive(q, &v, 10);
        });
        chip.setIrqEnabled(1, 7, true);
    });
    static CallbackEvent raise;
    raise.set([this] { chip.setIrqLine(7, true); });
    sim.schedule(raise, microseconds(1500));
    EXPECT_FALSE(sim.runFor(milliseconds(5)));
    EXPECT_EQ(sim.error(),
              "chip: interrupt 7 on core 1: xQueueReceive called from an interrupt handler");
}
