// Digital inputs: contacts to ground on the pins of the image's DIN_MAP,
// published to the host in 0x12/0x13 and signalled on the active-low
// input-change line. Each edge is published at once; a debounce window then
// ignores that pin's bounces and publishes the settled state when it ends.
#include <cstdio>

#include "board/board.h"
#include "board/board_task.h"
#include "board_image.h"
#include "hardware/gpio.h"
#include "hardware/irq.h"
#include "twi/regs_lock.h"

static_assert(HAS_INPUT_CHANGE_PIN, "digital inputs need an input-change line");

namespace {
constexpr uint8_t NO_PIN = 0xFF;
constexpr uint8_t REG_DIN_LO = 0x12;

// Bit k set when the pin of input k is active (reads low: contact closed).
uint16_t _inputWord(uint32_t active) {
    uint16_t word = 0;
    for (uint32_t k = 0; k < sizeof(DIN_MAP); ++k) {
        if ((active & (1u << DIN_MAP[k])) != 0) {
            word = static_cast<uint16_t>(word | (1u << k));
        }
    }
    return word;
}
} // namespace

void BoardTask::_initInputs() {
    // The level is set before the pin drives, so the host never sees a
    // spurious change pulse while the line is set up.
    gpio_init(INPUT_CHANGE_PIN);
    gpio_put(INPUT_CHANGE_PIN, 1);
    gpio_set_dir(INPUT_CHANGE_PIN, GPIO_OUT);
    for (uint8_t pin : DIN_MAP) {
        _dinMask |= 1u << pin;
        gpio_init(pin);
        gpio_set_pulls(pin, true, false);
        gpio_set_dir(pin, GPIO_IN);
        gpio_set_irq_enabled(pin, GPIO_IRQ_EDGE_FALL | GPIO_IRQ_EDGE_RISE, true);
    }
    gpio_set_irq_callback(gpioCallback);
    irq_set_enabled(IO_IRQ_BANK0, true);
    _checkGPIOs(NO_PIN); // the state at start, with one change pulse
}

void BoardTask::_checkGPIOs(uint8_t pin) {
    if (_debounceTimer.isActive() && _debouncePin == pin) {
        return; // a bounce inside this pin's window
    }
    _publishInputs();
    _debouncePin = pin;
    if (!_debounceTimer.restart(0)) {
        printf("[WARN] Fehler Start Debounce-Timer");
    }
}

void BoardTask::_debounceElapsed() {
    // An expiry that finds the start-up window still open is stale: that
    // window publishes at its own end.
    if (_debounceTimer.isActive() && _debouncePin == NO_PIN) {
        return;
    }
    _publishInputs();
    _debouncePin = NO_PIN;
}

void BoardTask::_publishInputs() {
    regsWrite16(REG_DIN_LO, _inputWord(_dinMask & ~gpio_get_all()));
    gpio_put(INPUT_CHANGE_PIN, 0);
}
