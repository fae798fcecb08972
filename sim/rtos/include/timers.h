#ifndef TIMERS_H
#define TIMERS_H

#ifndef INC_FREERTOS_H
#error "include FreeRTOS.h must appear in source files before include timers.h"
#endif

#include "task.h"

#ifdef __cplusplus
extern "C" {
#endif

#define tmrCOMMAND_EXECUTE_CALLBACK_FROM_ISR ((BaseType_t)-2)
#define tmrCOMMAND_EXECUTE_CALLBACK ((BaseType_t)-1)
#define tmrCOMMAND_START_DONT_TRACE ((BaseType_t)0)
#define tmrCOMMAND_START ((BaseType_t)1)
#define tmrCOMMAND_RESET ((BaseType_t)2)
#define tmrCOMMAND_STOP ((BaseType_t)3)
#define tmrCOMMAND_CHANGE_PERIOD ((BaseType_t)4)
#define tmrCOMMAND_DELETE ((BaseType_t)5)
#define tmrFIRST_FROM_ISR_COMMAND ((BaseType_t)6)
#define tmrCOMMAND_START_FROM_ISR ((BaseType_t)6)
#define tmrCOMMAND_RESET_FROM_ISR ((BaseType_t)7)
#define tmrCOMMAND_STOP_FROM_ISR ((BaseType_t)8)
#define tmrCOMMAND_CHANGE_PERIOD_FROM_ISR ((BaseType_t)9)

struct tmrTimerControl;
typedef struct tmrTimerControl* TimerHandle_t;
typedef void (*TimerCallbackFunction_t)(TimerHandle_t xTimer);
typedef void (*PendedFunction_t)(void* arg1, uint32_t arg2);

TimerHandle_t xTimerCreate(const char* const pcTimerName, const TickType_t xTimerPeriodInTicks,
                           const BaseType_t xAutoReload, void* const pvTimerID,
                           TimerCallbackFunction_t pxCallbackFunction);
BaseType_t xTimerIsTimerActive(TimerHandle_t xTimer);
void* pvTimerGetTimerID(const TimerHandle_t xTimer);
void vTimerSetTimerID(TimerHandle_t xTimer, void* pvNewID);
const char* pcTimerGetName(TimerHandle_t xTimer);
TickType_t xTimerGetPeriod(TimerHandle_t xTimer);
TickType_t xTimerGetExpiryTime(TimerHandle_t xTimer);
TaskHandle_t xTimerGetTimerDaemonTaskHandle(void);
BaseType_t xTimerPendFunctionCallFromISR(PendedFunction_t xFunctionToPend, void* pvParameter1,
                                         uint32_t ulParameter2,
                                         BaseType_t* pxHigherPriorityTaskWoken);
BaseType_t xTimerGenericCommandFromTask(TimerHandle_t xTimer, const BaseType_t xCommandID,
                                        const TickType_t xOptionalValue,
                                        BaseType_t* const pxHigherPriorityTaskWoken,
                                        const TickType_t xTicksToWait);
BaseType_t xTimerGenericCommandFromISR(TimerHandle_t xTimer, const BaseType_t xCommandID,
                                       const TickType_t xOptionalValue,
                                       BaseType_t* const pxHigherPriorityTaskWoken,
                                       const TickType_t xTicksToWait);

#define xTimerGenericCommand(xTimer, xCommandID, xOptionalValue, pxHigherPriorityTaskWoken,        \
                             xTicksToWait)                                                         \
    ((xCommandID) < tmrFIRST_FROM_ISR_COMMAND                                                      \
         ? xTimerGenericCommandFromTask(xTimer, xCommandID, xOptionalValue,                        \
                                        pxHigherPriorityTaskWoken, xTicksToWait)                   \
         : xTimerGenericCommandFromISR(xTimer, xCommandID, xOptionalValue,                         \
                                       pxHigherPriorityTaskWoken, xTicksToWait))

#define xTimerStart(xTimer, xTicksToWait)                                                          \
    xTimerGenericCommand((xTimer), tmrCOMMAND_START, (xTaskGetTickCount()), NULL, (xTicksToWait))
#define xTimerStop(xTimer, xTicksToWait)                                                           \
    xTimerGenericCommand((xTimer), tmrCOMMAND_STOP, 0U, NULL, (xTicksToWait))
#define xTimerChangePeriod(xTimer, xNewPeriod, xTicksToWait)                                       \
    xTimerGenericCommand((xTimer), tmrCOMMAND_CHANGE_PERIOD, (xNewPeriod), NULL, (xTicksToWait))
#define xTimerDelete(xTimer, xTicksToWait)                                                         \
    xTimerGenericCommand((xTimer), tmrCOMMAND_DELETE, 0U, NULL, (xTicksToWait))
#define xTimerReset(xTimer, xTicksToWait)                                                          \
    xTimerGenericCommand((xTimer), tmrCOMMAND_RESET, (xTaskGetTickCount()), NULL, (xTicksToWait))
#define xTimerStartFromISR(xTimer, pxHigherPriorityTaskWoken)                                      \
    xTimerGenericCommand((xTimer), tmrCOMMAND_START_FROM_ISR, (xTaskGetTickCountFromISR()),        \
                         (pxHigherPriorityTaskWoken), 0U)
#define xTimerResetFromISR(xTimer, pxHigherPriorityTaskWoken)                                      \
    xTimerGenericCommand((xTimer), tmrCOMMAND_RESET_FROM_ISR, (xTaskGetTickCountFromISR()),        \
                         (pxHigherPriorityTaskWoken), 0U)
#define xTimerStopFromISR(xTimer, pxHigherPriorityTaskWoken)                                       \
    xTimerGenericCommand((xTimer), tmrCOMMAND_STOP_FROM_ISR, 0, (pxHigherPriorityTaskWoken), 0U)

#ifdef __cplusplus
}
#endif

#endif
