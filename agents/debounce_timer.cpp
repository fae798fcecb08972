#include "agents/debounce_timer.h"

#include "board/board_task.h"

DebounceTimer::DebounceTimer(BoardTask* board) : TimerAgent("DebounceTimer", 10, true) {
    setUserData(board);
}

// Runs in the timer service task: post without waiting.
void DebounceTimer::run() {
    static_cast<BoardTask*>(_userData)->sendEvent(makeBoardEvent(EV_DEBOUNCE_ELAPSED), 0);
}
