// quillet's own part of the board task: nine digital outputs, six digital
// inputs with the input-change line, and the thermocouple converters on SPI0.
#include "board/board.h"
#include "board/board_task.h"
#include "boards/quillet/converter_spi.h"
#include "boards/quillet/thermo_task.h"
#include "hardware/gpio.h"
#include "pin_maps.h"
#include "twi/regs_lock.h"

namespace {
constexpr uint8_t SPI_RX_PIN = 4;
constexpr uint8_t SPI_SCK_PIN = 6;
constexpr uint8_t REG_DOUT_0 = 0x50;
} // namespace

void BoardTask::_init() {
    initConverterSpi(SPI_RX_PIN, SPI_SCK_PIN);
    for (uint8_t pin : DOUT_MAP) {
        _doutMask |= 1u << pin;
        gpio_init(pin);
    }
    gpio_set_dir_out_masked(_doutMask);
    _startSideTask(ledOnboardTask, "OnboardLED", this, &_onboardLedTask);
    // Input-change line GPIO16, the six inputs of DIN_MAP, their interrupt
    // and the publication of the state at start.
    _initInputs();
    _startSideTask(thermoTask, "Thermo", nullptr, &_thermoTask);
}

bool BoardTask::_handleEvent(BoardEvent event) {
    switch (boardEventCode(event)) {
    case EV_HOST_ACTIVITY:
        // Only a full timer command queue fails this; the next activity retries.
        _heartbeatTimer.restart(10);
        return true;
    case EV_HOST_TIMEOUT:
        return true; // quillet shows nothing for a silent host
    case EV_GPIO_EDGE:
        _checkGPIOs(boardEventArgument(event));
        return true;
    case EV_DEBOUNCE_ELAPSED:
        _debounceElapsed();
        return true;
    case EV_DOUT_WRITTEN:
        _updateOutputs();
        return true;
    default:
        return false;
    }
}

// Bit n of the output word (0x50 low byte, 0x51 high byte) drives
// DOUT_MAP[n]; the bits above output 8 are not wired.
void BoardTask::_updateOutputs() {
    _doutImage = 0;
    const uint16_t word = regsRead16(REG_DOUT_0);
    for (uint32_t n = 0; n < DOUT_COUNT; ++n) {
        if ((word & (1u << n)) != 0) {
            _doutImage |= 1u << DOUT_MAP[n];
        }
    }
    // Only the nine output pins change: the input-change line, the onboard
    // LED and the converter-select lines belong to other code and keep their
    // levels.
    gpio_put_masked(_doutMask, _doutImage);
}

bool BoardTask::_imageObjectsCreated() const {
    return _debounceTimer.isCreated();
}

void BoardTask::_delImage() {
    _deleteTask(_thermoTask);
}
