// brennic's own part of the board task: no digital I/O, so only the host
// heartbeat is served.
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
