// Critical sections on the hardware spin locks: they exclude the other core
// and hold off the taking core's interrupts until the exit.
#include "chip_bench.h"

#include "world/contact.h"

#include "hardware/gpio.h"
#include "pico/critical_section.h"

namespace {

using sim::microseconds;
using sim::milliseconds;

critical_section_t g_section;

class SyncTest : public ChipBench {};

TEST_F(SyncTest, InitClaimsTheFreeLocksInOrder) {
    int first = -1;
    int second = -1;
    boot([&] {
        critical_section_t a;
        critical_section_t b;
        critical_section_init(&a);
        critical_section_init(&b);
        first = static_cast<int>(spin_lock_get_num(a.spin_lock));
        second = static_cast<int>(spin_lock_get_num(b.spin_lock));
    });
    run(milliseconds(1));
    EXPECT_EQ(first, 24);
    EXPECT_EQ(second, 25);
}

TEST_F(SyncTest, OtherCoreWaitsAndOwnInterruptIsHeldOff) {
    sim::Contact contact(chip, 14);
    boot([this] {
        critical_section_init(&g_section);
        spawn("Holder", 2, 0x1, [this] {
            gpio_init(14);
            gpio_pull_up(14);
            gpio_set_irq_enabled_with_callback(14, GPIO_IRQ_EDGE_FALL, true,
                                               [](uint, uint32_t) { bench().note("edge"); });
            vTaskDelay(1);
            critical_section_enter_blocking(&g_section);
            note("core 0 in");
            busy_wait_us(200);
            note("core 0 out");
            critical_section_exit(&g_section);
            for (;;)
                vTaskDelay(1000);
        });
        spawn("Waiter", 2, 0x2, [this] {
            vTaskDelay(1);
            busy_wait_us(50);
            critical_section_enter_blocking(&g_section);
            note("core 1 in");
            critical_section_exit(&g_section);
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(microseconds(1100));
    contact.close(); // during core 0's critical section
    run(milliseconds(1));
    // At the exit both happen in the same instant: core 1 takes the lock
    // while core 0 enters the interrupt held off since 1100 us.
    EXPECT_EQ(log,
              (Lines{"1000us core 0 in", "1200us core 0 out", "1200us core 1 in", "1200us edge"}));
}

} // namespace
