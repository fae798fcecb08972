// Host-silence timer: posts EV_HOST_TIMEOUT to the board 500 ticks after the
// last restart.
#ifndef AGENTS_HEARTBEAT_TIMER_H
#define AGENTS_HEARTBEAT_TIMER_H

#include "agents/timer_agent.h"

class BoardTask;

class HeartbeatTimer : public TimerAgent {
public:
    explicit HeartbeatTimer(BoardTask* board);
    void run() override;
};

#endif
