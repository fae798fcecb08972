#include "agents/heartbeat_timer.h"

#include "board/board_task.h"

HeartbeatTimer::HeartbeatTimer(BoardTask* board) : TimerAgent("HeartbeatTimer", 500, true) {
    setUserData(board);
}

// Runs in the timer service task: post without waiting.
void HeartbeatTimer::run() {
    static_cast<BoardTask*>(_userData)->sendEvent(makeBoardEvent(EV_HOST_TIMEOUT), 0);
}
