// brennic's own part of the board task: the thermocouple converters on its
// own pins and no digital I/O, so only the host heartbeat is served.
#include "board/board.h"
#include "board/board_task.h"
#include "boards/quillet/converter_spi.h"
#include "boards/quillet/thermo_task.h"

namespace {
constexpr uint8_t SPI_RX_PIN = 16;
constexpr uint8_t SPI_SCK_PIN = 18;
} // namespace

void BoardTask::_init() {
    initConverterSpi(SPI_RX_PIN, SPI_SCK_PIN);
    _startSideTask(ledOnboardTask, "OnboardLED", this, &_onboardLedTask);
    _startSideTask(thermoTask, "Thermo", nullptr, &_thermoTask);
}

bool BoardTask::_handleEvent(BoardEvent event) {
    switch (boardEventCode(event)) {
    case EV_HOST_ACTIVITY:
        // Only a full timer command queue fails this; the next activity retries.
        _heartbeatTimer.restart(10);
        return true;
    case EV_HOST_TIMEOUT:
        return true; // the test build shows nothing for a silent host
    default:
        return false;
    }
}

bool BoardTask::_imageObjectsCreated() const {
    return true;
}

void BoardTask::_delImage() {
    _deleteTask(_thermoTask);
}
