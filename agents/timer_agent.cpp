#include "agents/timer_agent.h"

#include "task.h"

// The RTOS keeps the name pointer, so names must be literals.
TimerAgent::TimerAgent(const char* name, uint32_t periodTicks, bool oneShot) {
    _handle = xTimerCreate(name, periodTicks, oneShot ? pdFALSE : pdTRUE, this, __task);
}

TimerAgent::~TimerAgent() {
    if (_handle != nullptr) {
        xTimerGenericCommandFromTask(_handle, tmrCOMMAND_DELETE, 0, nullptr, 0);
    }
}

// A timer that could not be created is never handed to the RTOS: restart and
// isActive report false and touch nothing.
bool TimerAgent::restart(uint32_t ticksToWait) {
    if (_handle == nullptr) {
        return false;
    }
    return xTimerGenericCommandFromTask(_handle, tmrCOMMAND_RESET, xTaskGetTickCount(), nullptr,
                                        ticksToWait) == pdPASS;
}

bool TimerAgent::isActive() const {
    return _handle != nullptr && xTimerIsTimerActive(_handle) != pdFALSE;
}

void TimerAgent::setUserData(void* userData) {
    _userData = userData;
}

void TimerAgent::__task(TimerHandle_t timer) {
    static_cast<TimerAgent*>(pvTimerGetTimerID(timer))->run();
}
