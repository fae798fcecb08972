// PWM slice 0 as the status LEDs drive it: settings recorded as they change,
// the counter running from the time the slice starts, the pin following it.
#include "chip_bench.h"

#include "world/recorder.h"

#include "hardware/gpio.h"
#include "hardware/pwm.h"

namespace {

using sim::milliseconds;
using sim::nanoseconds;

class PwmTest : public ChipBench {
protected:
    PwmTest() { recorder.attach(chip); }

    sim::Recorder recorder;
    sim::Time started = 0;
    uint16_t counterAt10ms = 0;
};

TEST_F(PwmTest, SettingsAreRecordedAndThePinFollowsTheCounter) {
    boot([this] {
        spawn("Leds", 2, 0x1, [this] {
            gpio_set_function(1, GPIO_FUNC_PWM);
            pwm_set_enabled(0, false);
            pwm_set_counter(0, 0);
            pwm_set_both_levels(0, 0, 0);
            pwm_set_wrap(0, 2500);
            pwm_set_clkdiv(0, 8.0f);
            pwm_set_enabled(0, true);
            started = now();
            pwm_set_chan_level(0, PWM_CHAN_B, 20);
            vTaskDelay(10);
            counterAt10ms = pwm_get_counter(0);
            pwm_set_chan_level(0, PWM_CHAN_B, 40);
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(11));
    Lines lines;
    for (const sim::Record& r : recorder.records()) {
        if (r.kind() == "pwm" || r.kind() == "function")
            lines.push_back(r.line());
    }
    EXPECT_EQ(lines, (Lines{"0.000us board function GPIO1 pwm",
                            "0.000us board pwm slice 0 off, top 2500, div 1.0, A 0, B 0",
                            "0.000us board pwm slice 0 off, top 2500, div 8.0, A 0, B 0",
                            "0.000us board pwm slice 0 on, top 2500, div 8.0, A 0, B 0",
                            // Levels take effect at the next wrap, every 160.064 us.
                            "160.064us board pwm slice 0 on, top 2500, div 8.0, A 0, B 20",
                            "10084.032us board pwm slice 0 on, top 2500, div 8.0, A 0, B 40"}));
    // One count per 8 cycles of 8 ns; 2501 counts per period.
    EXPECT_EQ(counterAt10ms, (milliseconds(10) / 64) % 2501);
}

TEST_F(PwmTest, ChannelIsHighWhileTheCountIsBelowItsLevel) {
    boot([this] {
        spawn("Leds", 2, 0x1, [this] {
            gpio_set_function(0, GPIO_FUNC_PWM);
            pwm_config config = pwm_get_default_config();
            pwm_config_set_wrap(&config, 2500);
            pwm_config_set_clkdiv_int(&config, 8);
            pwm_init(0, &config, true);
            started = now();
            pwm_set_chan_level(0, PWM_CHAN_A, 20);
            for (;;)
                vTaskDelay(1000);
        });
    });
    const sim::Time period = nanoseconds(2501 * 64);
    auto levelAt = [&](sim::Time t) {
        EXPECT_TRUE(sim.runUntil(t));
        return chip.gpio.level(0);
    };
    // The level written to the running slice waits for the first wrap.
    EXPECT_FALSE(levelAt(nanoseconds(1000)));             // count 15, level 0
    EXPECT_FALSE(levelAt(period - nanoseconds(64)));      // count 2500
    EXPECT_TRUE(levelAt(period));                         // wrapped to 0, level 20
    EXPECT_TRUE(levelAt(period + nanoseconds(1279)));     // count 19
    EXPECT_FALSE(levelAt(period + nanoseconds(1280)));    // count 20
    EXPECT_TRUE(levelAt(2 * period + nanoseconds(1000))); // count 15
    EXPECT_EQ(started, 0u);
    EXPECT_TRUE(chip.gpio.state(0).toggling);
}

} // namespace
