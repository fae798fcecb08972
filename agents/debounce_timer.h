// Input debounce window: posts EV_DEBOUNCE_ELAPSED to the board 10 ticks
// after the last restart.
#ifndef AGENTS_DEBOUNCE_TIMER_H
#define AGENTS_DEBOUNCE_TIMER_H

#include "agents/timer_agent.h"

class BoardTask;

class DebounceTimer : public TimerAgent {
public:
    explicit DebounceTimer(BoardTask* board);
    void run() override;
};

#endif
