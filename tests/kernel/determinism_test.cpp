// The same scenario gives the same trace, byte for byte.
#include "kernel_bench.h"

using namespace sim;

namespace {

std::string runScenario() {
    struct Scenario : KernelBench {
        void TestBody() override {}
    } s;
    std::string trace;
    s.sim.setTrace([&trace](Time t, const std::string& line) {
        trace += std::to_string(t) + " " + line + "\n";
    });
    static QueueHandle_t q;
    s.boot([&s] {
        q = xQueueCreate(8, 2);
        TimerHandle_t t = xTimerCreate("T", 7, pdTRUE, nullptr, [](TimerHandle_t) {
            std::uint16_t v = 1;
            xQueueSend(q, &v, 0);
        });
        xTimerStart(t, 0);
        s.spawn("consumer", 3, 0x3, [] {
            for (;;) {
                std::uint16_t v;
                xQueueReceive(q, &v, portMAX_DELAY);
                KernelBench::busyUs(1700);
            }
        });
        for (const char* name : {"a", "b", "c"})
            s.spawn(name, 2, 0x3, [] {
                for (;;) {
                    KernelBench::busyUs(333);
                    vTaskDelay(3);
                }
            });
    });
    s.sim.runFor(milliseconds(200));
    return trace;
}

} // namespace

TEST(Determinism, SameScenarioTwiceGivesTheSameTrace) {
    std::string first = runScenario();
    std::string second = runScenario();
    EXPECT_GT(first.size(), 10000u);
    EXPECT_EQ(first, second);
}
