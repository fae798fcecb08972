// Software timer API: commands to the timer service task.
#include "rtos_access.h"

using namespace sim;
using namespace sim::rtos;

extern "C" {

TimerHandle_t xTimerCreate(const char* const pcTimerName, const TickType_t xTimerPeriodInTicks,
                           const BaseType_t xAutoReload, void* const pvTimerID,
                           TimerCallbackFunction_t pxCallbackFunction) {
    if (xTimerPeriodInTicks == 0)
        return nullptr;
    return handleOf(scheduler().timers().create(
        pcTimerName, xTimerPeriodInTicks, xAutoReload != pdFALSE, pvTimerID, pxCallbackFunction));
}

BaseType_t xTimerGenericCommandFromTask(TimerHandle_t xTimer, const BaseType_t xCommandID,
                                        const TickType_t xOptionalValue,
                                        BaseType_t* const pxHigherPriorityTaskWoken,
                                        const TickType_t xTicksToWait) {
    (void)pxHigherPriorityTaskWoken;
    requireTask("xTimerGenericCommandFromTask");
    bool ok = scheduler().timers().command(timer(xTimer), xCommandID, xOptionalValue, nullptr,
                                           xTicksToWait);
    leaveApi();
    return ok ? pdPASS : pdFAIL;
}

BaseType_t xTimerGenericCommandFromISR(TimerHandle_t xTimer, const BaseType_t xCommandID,
                                       const TickType_t xOptionalValue,
                                       BaseType_t* const pxHigherPriorityTaskWoken,
                                       const TickType_t) {
    bool woken = false;
    bool ok = scheduler().timers().command(timer(xTimer), xCommandID, xOptionalValue, &woken, 0);
    if (woken && pxHigherPriorityTaskWoken)
        *pxHigherPriorityTaskWoken = pdTRUE;
    return ok ? pdPASS : pdFAIL;
}

BaseType_t xTimerIsTimerActive(TimerHandle_t xTimer) {
    return scheduler().timers().isActive(timer(xTimer)) ? pdTRUE : pdFALSE;
}

void* pvTimerGetTimerID(const TimerHandle_t xTimer) {
    return xTimer ? timer(xTimer)->id : nullptr;
}

void vTimerSetTimerID(TimerHandle_t xTimer, void* pvNewID) {
    if (xTimer)
        timer(xTimer)->id = pvNewID;
}

const char* pcTimerGetName(TimerHandle_t xTimer) {
    return xTimer ? timer(xTimer)->name : nullptr;
}

TickType_t xTimerGetPeriod(TimerHandle_t xTimer) {
    return xTimer ? timer(xTimer)->period : 0;
}

TickType_t xTimerGetExpiryTime(TimerHandle_t xTimer) {
    return xTimer ? static_cast<TickType_t>(timer(xTimer)->expiry) : 0;
}

TaskHandle_t xTimerGetTimerDaemonTaskHandle(void) {
    return handle(scheduler().timers().task());
}

BaseType_t xTimerPendFunctionCallFromISR(PendedFunction_t xFunctionToPend, void* pvParameter1,
                                         uint32_t ulParameter2,
                                         BaseType_t* pxHigherPriorityTaskWoken) {
    bool woken = false;
    bool ok =
        scheduler().timers().pendFunctionCall(xFunctionToPend, pvParameter1, ulParameter2, &woken);
    if (woken && pxHigherPriorityTaskWoken)
        *pxHigherPriorityTaskWoken = pdTRUE;
    return ok ? pdPASS : pdFAIL;
}

} // extern "C"
