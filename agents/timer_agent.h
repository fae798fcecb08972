// Base of every object that owns one RTOS software timer whose expiry action
// is its run(). The timer is created dormant; restart() is the only way to
// start it.
#ifndef AGENTS_TIMER_AGENT_H
#define AGENTS_TIMER_AGENT_H

#include <cstdint>

#include "FreeRTOS.h"
#include "timers.h"

class TimerAgent {
public:
    TimerAgent(const char* name, uint32_t periodTicks, bool oneShot);
    TimerAgent(const TimerAgent&) = delete;
    TimerAgent& operator=(const TimerAgent&) = delete;
    virtual ~TimerAgent();

    // Runs in the RTOS timer service task; must not block.
    virtual void run() = 0;

    // (Re)starts the period from now; ticksToWait bounds only the wait for
    // room in the timer command queue. True when the command was queued.
    bool restart(uint32_t ticksToWait);
    bool isActive() const;
    void setUserData(void* userData);

    // False when the RTOS could not create the timer.
    bool isCreated() const { return _handle != nullptr; }

protected:
    TimerHandle_t _handle = nullptr;
    void* _userData = nullptr;

private:
    static void __task(TimerHandle_t timer);
};

#endif
