#include "boards/valdor/status_leds.h"

#include <cstdint>
#include <cstdio>

#include "FreeRTOS.h"
#include "board/board_task.h"
#include "boards/valdor/fading_ramp.h"
#include "boards/valdor/led_fading_state.h"
#include "boards/valdor/output_map.h"
#include "hardware/gpio.h"
#include "hardware/pwm.h"
#include "task.h"
#include "twi/regs_lock.h"

namespace {

constexpr unsigned int HOST_LOST_LED_PIN = 0; // slice 0, channel A
constexpr unsigned int STARTUP_LED_PIN = 1;   // slice 0, channel B
constexpr unsigned int LED_SLICE = 0;
constexpr uint16_t LED_WRAP = FadingRamp::LEVEL_MAX;
constexpr uint8_t LED_CLKDIV = 8;
constexpr TickType_t FADE_STEP_TICKS = 10;

class StatusLeds {
public:
    explicit StatusLeds(BoardTask* board) : _board(board) {}

    // Takes the mode's LED into PWM and hands the other one back.
    void setUp(uint32_t mode) {
        if (mode == LED_FADING_STARTUP) {
            _take(STARTUP_LED_PIN);
            _release(HOST_LOST_LED_PIN);
        } else {
            _release(STARTUP_LED_PIN);
            _take(HOST_LOST_LED_PIN);
        }
        _setUpPending = false;
    }

    void step() {
        pwm_set_chan_level(LED_SLICE, _channel, _ramp.step());
        _setUpPending = false;
    }

    // Both pins back to plain outputs; the next fading starts from dark.
    void stop() {
        _release(STARTUP_LED_PIN);
        _release(HOST_LOST_LED_PIN);
        _ramp.reset();
        _setUpPending = false;
    }

    void resetRamp() { _ramp.reset(); }
    bool setUpPending() const { return _setUpPending; }
    void markSetUpPending() { _setUpPending = true; }
    void clearSetUpPending() { _setUpPending = false; }

private:
    void _take(unsigned int pin) {
        _channel = pwm_gpio_to_channel(pin);
        if (gpio_get_function(pin) == GPIO_FUNC_PWM) {
            return;
        }
        // The slice is set up before the pin follows it, so the pin never
        // shows what the slice last drove for the other LED.
        pwm_config config = pwm_get_default_config();
        pwm_config_set_wrap(&config, LED_WRAP);
        pwm_config_set_clkdiv_int_frac(&config, LED_CLKDIV, 0);
        pwm_init(LED_SLICE, &config, true);
        gpio_set_function(pin, GPIO_FUNC_PWM);
    }

    // The pin goes back to showing its output channel at the level the host
    // last asked for in 0x50/0x51, not a forced low: a host that set the
    // output while the LED faded keeps that setting. The SIO level and
    // direction are set while PWM still owns the pin, and the function is
    // switched last, so the pin goes from PWM straight to that level, never
    // undriven in between (gpio_init would leave it to its pull for a moment).
    // The board task, which owns the output pins, is then asked to re-apply
    // the registers, so a host write racing this hand-back still ends on the
    // pin.
    void _release(unsigned int pin) {
        if (gpio_get_function(pin) != GPIO_FUNC_PWM) {
            return;
        }
        gpio_put(pin, (valdorOutputImage(regsRead16(REG_DOUT_0)) & (1u << pin)) != 0);
        gpio_set_dir(pin, GPIO_OUT);
        gpio_set_function(pin, GPIO_FUNC_SIO);
        _board->sendEvent(makeBoardEvent(EV_DOUT_WRITTEN), 0);
    }

    BoardTask* _board;
    FadingRamp _ramp;
    unsigned int _channel = PWM_CHAN_B;
    bool _setUpPending = true;
};

bool _isFading(uint32_t mode) {
    return mode == LED_FADING_STARTUP || mode == LED_FADING_HOST_LOST;
}

} // namespace

void ledStatusTask(void* parameter) {
    BoardTask* board = static_cast<BoardTask*>(parameter);
    StatusLeds leds(board);
    // The mode is the notification value as the last wait returned it,
    // whether or not that wait brought a new one.
    uint32_t mode = board->getLedFadingState();
    TickType_t wait = mode != LED_FADING_OFF ? FADE_STEP_TICKS : portMAX_DELAY;
    for (;;) {
        const bool notified = xTaskNotifyWait(0, 0, &mode, wait) == pdTRUE;
        if (notified) {
            if (mode == LED_FADING_OFF) {
                wait = portMAX_DELAY;
                leds.stop();
            } else if (_isFading(mode)) {
                wait = FADE_STEP_TICKS;
                leds.setUp(mode);
                leds.step();
            } else {
                printf("[WARN] [ledStatusTask] invalid notify state: %lu\n",
                       static_cast<unsigned long>(mode));
                leds.markSetUpPending();
            }
        } else if (_isFading(mode)) {
            if (leds.setUpPending()) {
                leds.setUp(mode);
            }
            leds.step();
        } else if (mode == LED_FADING_OFF) {
            leds.resetRamp();
            if (leds.setUpPending()) {
                leds.stop();
            }
        } else {
            leds.clearSetUpPending();
        }
    }
}
