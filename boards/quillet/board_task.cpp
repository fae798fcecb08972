// quillet's own part of the board task.
#include "board/board.h"
#include "board/board_task.h"

void BoardTask::_init() {
    _startSideTask(ledOnboardTask, "OnboardLED", this, &_onboardLedTask);
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
    case EV_DEBOUNCE_ELAPSED:
    case EV_DOUT_WRITTEN:
        // quillet's events for its inputs and outputs; they change nothing
        // until those pins are driven.
        return true;
    default:
        return false;
    }
}

bool BoardTask::_imageObjectsCreated() const {
    return _debounceTimer.isCreated();
}

void BoardTask::_delImage() {
    _deleteTask(_thermoTask);
}
