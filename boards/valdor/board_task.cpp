// valdor's own part of the board task.
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
    case EV_GPIO_EDGE:
    case EV_DEBOUNCE_ELAPSED:
    case EV_DOUT_WRITTEN:
    case EV_AOUT0_WRITTEN:
    case EV_AOUT1_WRITTEN:
        // valdor's events for its LEDs, inputs, outputs and converter; they
        // change nothing until that hardware is driven.
        return true;
    default:
        return false;
    }
}

bool BoardTask::_imageObjectsCreated() const {
    return _debounceTimer.isCreated();
}

void BoardTask::_delImage() {
    _deleteTask(_statusLedTask);
    _deleteTask(_aReadTask);
}
