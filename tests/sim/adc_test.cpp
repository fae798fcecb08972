// ADC: conversion time, values from the world (constant, scripted, the slot
// divider) and what a pin without an analog source converts to.
#include "chip_bench.h"

#include "world/analog_source.h"
#include "world/slot_divider.h"

#include "hardware/adc.h"
#include "hardware/gpio.h"

namespace {

using sim::microseconds;
using sim::milliseconds;

class AdcTest : public ChipBench {
protected:
    // Reads `input` `count` times in a row and logs each reading.
    void bootReader(unsigned input, int count) {
        boot([this, input, count] {
            spawn("Adc", 2, 0x1, [this, input, count] {
                adc_init();
                adc_gpio_init(26 + input);
                adc_select_input(input);
                for (int i = 0; i < count; ++i) {
                    uint16_t v = adc_read();
                    note(std::to_string(v));
                }
                for (;;)
                    vTaskDelay(1000);
            });
        });
    }

    sim::AnalogSource analog{chip};
};

TEST_F(AdcTest, EachConversionTakesTwoMicroseconds) {
    analog.set(0, 1234);
    bootReader(0, 3);
    run(milliseconds(1));
    EXPECT_EQ(log, (Lines{"2us 1234", "4us 1234", "6us 1234"}));
}

TEST_F(AdcTest, ScriptedReadingsArePlayedOneConversionEachAndTheLastStays) {
    analog.script(2, {1000, 1002, 1003});
    bootReader(2, 5);
    run(milliseconds(1));
    EXPECT_EQ(log, (Lines{"2us 1000", "4us 1002", "6us 1003", "8us 1003", "10us 1003"}));
    EXPECT_EQ(analog.conversions(2), 5u);
}

TEST_F(AdcTest, SlotDividerPutsTheVoltageMidBand) {
    sim::SlotDivider divider(analog);
    divider.setSlot(3);
    bootReader(2, 1);
    run(milliseconds(1));
    EXPECT_EQ(log, (Lines{"2us 2304"}));
    EXPECT_EQ(sim::SlotDivider::midBand(0), 3840);
    EXPECT_EQ(sim::SlotDivider::midBand(7), 320);
}

TEST_F(AdcTest, NoDividerReadsGround) {
    sim::SlotDivider divider(analog);
    divider.setSlot(5);
    divider.setNone();
    bootReader(2, 1);
    run(milliseconds(1));
    EXPECT_EQ(log, (Lines{"2us 0"}));
}

TEST_F(AdcTest, AnalogInitLeavesThePinToTheAdc) {
    bootReader(1, 1);
    run(milliseconds(1));
    sim::PinState s = chip.gpio.state(27);
    EXPECT_EQ(s.function, sim::gpiofn::kNull);
    EXPECT_FALSE(s.pullUp || s.pullDown || s.inputEnabled);
    EXPECT_EQ(log, (Lines{"2us 0"})); // nothing on it: floating
}

TEST_F(AdcTest, APinDrivenHighConvertsToFullScale) {
    boot([this] {
        spawn("Adc", 2, 0x1, [this] {
            adc_init();
            gpio_init(26);
            gpio_set_dir(26, GPIO_OUT);
            gpio_put(26, true);
            adc_select_input(0);
            note(std::to_string(adc_read()));
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(1));
    EXPECT_EQ(log, (Lines{"2us 4095"}));
}

TEST_F(AdcTest, ReadingWithoutInitStopsTheRun) {
    boot([this] { spawn("Adc", 2, 0x1, [] { adc_read(); }); });
    EXPECT_FALSE(sim.runFor(milliseconds(1)));
    EXPECT_NE(sim.error().find("adc_init missing"), std::string::npos) << sim.error();
}

} // namespace
