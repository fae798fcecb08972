// GPIO: pin levels from drivers and pulls, the bank interrupt on the core
// that enabled it, edge events from a contact, and masked writes.
#include "chip_bench.h"

#include "world/contact.h"
#include "world/recorder.h"

#include "hardware/gpio.h"
#include "queue.h"

#include <cstdio>

namespace {

using sim::Drive;
using sim::milliseconds;

struct Edge {
    std::uint8_t pin;
    std::uint8_t events;
    std::uint8_t core;
};

QueueHandle_t g_edges = nullptr;

void postEdge(uint gpio, uint32_t events) {
    Edge e{static_cast<std::uint8_t>(gpio), static_cast<std::uint8_t>(events),
           static_cast<std::uint8_t>(get_core_num())};
    BaseType_t woken = pdFALSE;
    xQueueSendFromISR(g_edges, &e, &woken);
    portYIELD_FROM_ISR(woken);
}

class GpioTest : public ChipBench {
protected:
    // An input with pull-up and both edges enabled, set up from a task on
    // the cores in `affinity`; a task there logs every edge posted.
    void bootInput(unsigned pin, UBaseType_t affinity) {
        boot([this, pin, affinity] {
            g_edges = xQueueCreate(8, sizeof(Edge));
            spawn("Setup", 3, affinity, [pin] {
                gpio_init(pin);
                gpio_set_pulls(pin, true, false);
                gpio_set_dir(pin, GPIO_IN);
                gpio_set_irq_enabled(pin, GPIO_IRQ_EDGE_FALL | GPIO_IRQ_EDGE_RISE, true);
                gpio_set_irq_callback(&postEdge);
                irq_set_enabled(IO_IRQ_BANK0, true);
                vTaskDelete(nullptr);
            });
            spawn("Edges", 2, affinity, [this] {
                for (;;) {
                    Edge e{};
                    xQueueReceive(g_edges, &e, portMAX_DELAY);
                    char text[64];
                    std::snprintf(text, sizeof text, "GPIO%u events %u core %u level %d", e.pin,
                                  e.events, e.core, gpio_get(e.pin));
                    note(text);
                }
            });
        });
    }
};

TEST_F(GpioTest, EdgeInterruptOnCore0PostsFromIsrToATask) {
    bootInput(15, 0x1);
    sim::Contact contact(chip, 15);
    run(milliseconds(10));
    contact.close();
    run(milliseconds(2));
    contact.open();
    run(milliseconds(1));
    EXPECT_EQ(log, (Lines{"10000us GPIO15 events 4 core 0 level 0",
                          "12000us GPIO15 events 8 core 0 level 1"}));
}

TEST_F(GpioTest, InterruptGoesToTheCoreThatEnabledIt) {
    bootInput(13, 0x2);
    sim::Contact contact(chip, 13);
    run(milliseconds(3));
    contact.close();
    run(milliseconds(1));
    EXPECT_EQ(log, (Lines{"3000us GPIO13 events 4 core 1 level 0"}));
    EXPECT_TRUE(chip.irqEnabled(1, 13));
    EXPECT_FALSE(chip.irqEnabled(0, 13));
}

TEST_F(GpioTest, BouncesLatchEveryEdgeWithItsTime) {
    sim::Recorder recorder;
    recorder.attach(chip);
    bootInput(12, 0x1);
    sim::Contact contact(chip, 12);
    run(milliseconds(5));
    recorder.clear();
    contact.bounce({{sim::microseconds(100), true},
                    {sim::microseconds(50), false},
                    {sim::microseconds(30), true}});
    run(milliseconds(1));
    Lines pins;
    for (const sim::Record& r : recorder.select("pin"))
        pins.push_back(r.line());
    EXPECT_EQ(pins, (Lines{"5100.000us board pin GPIO12=0 (world drives)",
                           "5150.000us board pin GPIO12=1 (pulled)",
                           "5180.000us board pin GPIO12=0 (world drives)"}));
    EXPECT_EQ(log, (Lines{"5100us GPIO12 events 4 core 0 level 0",
                          "5150us GPIO12 events 8 core 0 level 1",
                          "5180us GPIO12 events 4 core 0 level 0"}));
}

TEST_F(GpioTest, LevelComesFromDriversThenPulls) {
    boot([this] {
        spawn("Pins", 2, 0x1, [] {
            gpio_init(5); // input: the pull-down of reset
            gpio_init(6);
            gpio_set_pulls(6, true, false); // pull-up
            gpio_init(7);
            gpio_set_pulls(7, false, false); // nothing: floating
            gpio_init(8);
            gpio_set_dir(8, GPIO_OUT);
            gpio_put(8, true);
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(1));
    EXPECT_FALSE(chip.gpio.level(5));
    EXPECT_TRUE(chip.gpio.level(6));
    EXPECT_FALSE(chip.gpio.level(7));
    EXPECT_TRUE(chip.gpio.state(7).floating);
    EXPECT_TRUE(chip.gpio.level(8));

    chip.gpio.drive(6, Drive::Low); // a contact beats the pull-up
    EXPECT_FALSE(chip.gpio.level(6));
    chip.gpio.drive(7, Drive::High);
    EXPECT_TRUE(chip.gpio.level(7));
    EXPECT_FALSE(chip.gpio.state(7).floating);
    chip.gpio.drive(8, Drive::Low); // the output shorted to ground
    EXPECT_TRUE(chip.gpio.state(8).contention);
    EXPECT_EQ(chip.gpio.describe(8),
              "level 0, function sio, output high, world drives low, pull-down, contention");
}

TEST_F(GpioTest, MaskedWriteChangesThePinsTogether) {
    // A listener on the four select lines of a demultiplexer must never see
    // a pattern between the old and the new one.
    const std::uint32_t mask = (1u << 3) | (1u << 5) | (1u << 7) | (1u << 8);
    std::vector<std::uint32_t> seen;
    chip.gpio.addListener(mask, [&](unsigned, bool) { seen.push_back(chip.gpio.in() & mask); });
    boot([this, mask] {
        spawn("Demux", 2, 0x1, [mask] {
            gpio_init_mask(mask);
            gpio_set_dir_masked(mask, mask);
            gpio_put(25, true);               // outside the mask, not an output: stays as it is
            gpio_put_masked(mask, mask);      // address 7, enabled
            gpio_put_masked(mask, (1u << 8)); // address 0, enabled
            gpio_put_masked(mask, (1u << 8) | (1u << 5)); // address 2, enabled
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(1));
    // Each write is seen once per changed pin, always with the final pattern.
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{mask, mask, mask, mask, 1u << 8, 1u << 8, 1u << 8,
                                                (1u << 8) | (1u << 5)}));
    EXPECT_EQ(chip.gpio.out() & ~mask, 1u << 25);
    EXPECT_FALSE(chip.gpio.level(25));
}

} // namespace
