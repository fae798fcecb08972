// valdor's own part of the board task: set-up order and event cases.
#include "board/board.h"
#include "board/board_task.h"
#include "boards/valdor/analog_read.h"
#include "boards/valdor/output_map.h"
#include "boards/valdor/status_leds.h"
#include "hardware/gpio.h"
#include "hardware/spi.h"
#include "twi/regs_lock.h"

namespace {
constexpr uint32_t SPI_HZ = 100000;
constexpr unsigned int SPI_SCK_PIN = 18;
constexpr unsigned int SPI_TX_PIN = 19;
constexpr uint8_t REG_AOUT0_LO = 0x60;
constexpr uint8_t REG_AOUT1_LO = 0x62;
} // namespace

void BoardTask::_init() {
    // The converter's bus: 16-bit frames, mode 0, data out and clock only.
    spi_init(spi0, SPI_HZ);
    spi_set_format(spi0, 16, SPI_CPOL_0, SPI_CPHA_0, SPI_MSB_FIRST);
    gpio_set_function(SPI_TX_PIN, GPIO_FUNC_SPI);
    gpio_set_function(SPI_SCK_PIN, GPIO_FUNC_SPI);

    _startSideTask(ledStatusTask, "StatusLEDs", this, &_statusLedTask);
    _initOutputs();
    _setLedFadingState(LED_FADING_STARTUP);
    _startSideTask(ledOnboardTask, "OnboardLED", this, &_onboardLedTask);
    _initInputs();
    _startSideTask(aReadTask, "AnalogRead", nullptr, &_aReadTask);
}

bool BoardTask::_handleEvent(BoardEvent event) {
    switch (boardEventCode(event)) {
    case EV_HOST_ACTIVITY:
        // Only a full timer command queue fails this; the next activity retries.
        _heartbeatTimer.restart(10);
        _setLedFadingState(LED_FADING_OFF);
        return true;
    case EV_HOST_TIMEOUT:
        _setLedFadingState(LED_FADING_HOST_LOST);
        return true;
    case EV_GPIO_EDGE:
        _checkGPIOs(boardEventArgument(event));
        return true;
    case EV_DEBOUNCE_ELAPSED:
        _debounceElapsed();
        return true;
    case EV_DOUT_WRITTEN:
        _updateOutputs();
        return true;
    case EV_AOUT0_WRITTEN:
        _dac.set(DAC::CH_A, regsRead16(REG_AOUT0_LO));
        return true;
    case EV_AOUT1_WRITTEN:
        _dac.set(DAC::CH_B, regsRead16(REG_AOUT1_LO));
        return true;
    default:
        return false;
    }
}

// GPIO11 down to GPIO0, all low.
void BoardTask::_initOutputs() {
    for (uint32_t i = 0; i < DOUT_COUNT; ++i) {
        const uint32_t pin = DOUT_COUNT - 1 - i;
        _doutMask |= 1u << pin;
        gpio_init(pin);
    }
    gpio_set_dir_out_masked(_doutMask);
}

// Only the output pins change: the input-change line, the onboard LED and
// every other pin keep the levels their owners gave them. While a status LED
// holds GPIO0 or GPIO1 in PWM, its output bit waits there for the hand-back.
void BoardTask::_updateOutputs() {
    _doutImage = valdorOutputImage(regsRead16(REG_DOUT_0));
    gpio_put_masked(_doutMask, _doutImage);
}

// The status-LED task hears of each change of mode exactly once.
void BoardTask::_setLedFadingState(LedFadingState state) {
    if (_ledFadingState == state) {
        return;
    }
    _ledFadingState = state;
    xTaskNotify(_statusLedTask, state, eSetValueWithOverwrite);
}

bool BoardTask::_imageObjectsCreated() const {
    return _debounceTimer.isCreated();
}

void BoardTask::_delImage() {
    _deleteTask(_statusLedTask);
    _deleteTask(_aReadTask);
}
