#ifndef INC_TASK_H
#define INC_TASK_H

#ifndef INC_FREERTOS_H
#error "include FreeRTOS.h must appear in source files before include task.h"
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct tskTaskControlBlock;
typedef struct tskTaskControlBlock* TaskHandle_t;

typedef enum {
    eNoAction = 0,
    eSetBits,
    eIncrement,
    eSetValueWithOverwrite,
    eSetValueWithoutOverwrite
} eNotifyAction;

typedef enum { eRunning = 0, eReady, eBlocked, eSuspended, eDeleted, eInvalid } eTaskState;

#define tskIDLE_PRIORITY ((UBaseType_t)0U)
#define tskNO_AFFINITY ((UBaseType_t)-1)
#define tskDEFAULT_INDEX_TO_NOTIFY (0)

#define taskSCHEDULER_SUSPENDED ((BaseType_t)0)
#define taskSCHEDULER_NOT_STARTED ((BaseType_t)1)
#define taskSCHEDULER_RUNNING ((BaseType_t)2)

BaseType_t xTaskCreate(TaskFunction_t pxTaskCode, const char* const pcName,
                       const configSTACK_DEPTH_TYPE uxStackDepth, void* const pvParameters,
                       UBaseType_t uxPriority, TaskHandle_t* const pxCreatedTask);
BaseType_t xTaskCreateAffinitySet(TaskFunction_t pxTaskCode, const char* const pcName,
                                  const configSTACK_DEPTH_TYPE uxStackDepth,
                                  void* const pvParameters, UBaseType_t uxPriority,
                                  UBaseType_t uxCoreAffinityMask,
                                  TaskHandle_t* const pxCreatedTask);
void vTaskDelete(TaskHandle_t xTaskToDelete);
void vTaskDelay(const TickType_t xTicksToDelay);
TickType_t xTaskGetTickCount(void);
TickType_t xTaskGetTickCountFromISR(void);
TaskHandle_t xTaskGetCurrentTaskHandle(void);
TaskHandle_t xTaskGetHandle(const char* pcNameToQuery);
char* pcTaskGetName(TaskHandle_t xTaskToQuery);
UBaseType_t uxTaskPriorityGet(const TaskHandle_t xTask);
eTaskState eTaskGetState(TaskHandle_t xTask);
UBaseType_t vTaskCoreAffinityGet(const TaskHandle_t xTask);
void vTaskStartScheduler(void);
BaseType_t xTaskGetSchedulerState(void);
void vTaskSuspendAll(void);
BaseType_t xTaskResumeAll(void);
UBaseType_t uxTaskGetNumberOfTasks(void);
void vTaskEnterCritical(void);
void vTaskExitCritical(void);

BaseType_t xTaskGenericNotify(TaskHandle_t xTaskToNotify, UBaseType_t uxIndexToNotify,
                              uint32_t ulValue, eNotifyAction eAction,
                              uint32_t* pulPreviousNotificationValue);
BaseType_t xTaskGenericNotifyFromISR(TaskHandle_t xTaskToNotify, UBaseType_t uxIndexToNotify,
                                     uint32_t ulValue, eNotifyAction eAction,
                                     uint32_t* pulPreviousNotificationValue,
                                     BaseType_t* pxHigherPriorityTaskWoken);
BaseType_t xTaskGenericNotifyWait(UBaseType_t uxIndexToWaitOn, uint32_t ulBitsToClearOnEntry,
                                  uint32_t ulBitsToClearOnExit, uint32_t* pulNotificationValue,
                                  TickType_t xTicksToWait);
void vTaskGenericNotifyGiveFromISR(TaskHandle_t xTaskToNotify, UBaseType_t uxIndexToNotify,
                                   BaseType_t* pxHigherPriorityTaskWoken);
uint32_t ulTaskGenericNotifyTake(UBaseType_t uxIndexToWaitOn, BaseType_t xClearCountOnExit,
                                 TickType_t xTicksToWait);

#define xTaskNotify(xTaskToNotify, ulValue, eAction)                                               \
    xTaskGenericNotify((xTaskToNotify), (tskDEFAULT_INDEX_TO_NOTIFY), (ulValue), (eAction), NULL)
#define xTaskNotifyIndexed(xTaskToNotify, uxIndexToNotify, ulValue, eAction)                       \
    xTaskGenericNotify((xTaskToNotify), (uxIndexToNotify), (ulValue), (eAction), NULL)
#define xTaskNotifyAndQuery(xTaskToNotify, ulValue, eAction, pulPreviousNotifyValue)               \
    xTaskGenericNotify((xTaskToNotify), (tskDEFAULT_INDEX_TO_NOTIFY), (ulValue), (eAction),        \
                       (pulPreviousNotifyValue))
#define xTaskNotifyFromISR(xTaskToNotify, ulValue, eAction, pxHigherPriorityTaskWoken)             \
    xTaskGenericNotifyFromISR((xTaskToNotify), (tskDEFAULT_INDEX_TO_NOTIFY), (ulValue), (eAction), \
                              NULL, (pxHigherPriorityTaskWoken))
#define xTaskNotifyWait(ulBitsToClearOnEntry, ulBitsToClearOnExit, pulNotificationValue,           \
                        xTicksToWait)                                                              \
    xTaskGenericNotifyWait(tskDEFAULT_INDEX_TO_NOTIFY, (ulBitsToClearOnEntry),                     \
                           (ulBitsToClearOnExit), (pulNotificationValue), (xTicksToWait))
#define xTaskNotifyGive(xTaskToNotify)                                                             \
    xTaskGenericNotify((xTaskToNotify), (tskDEFAULT_INDEX_TO_NOTIFY), (0), eIncrement, NULL)
#define vTaskNotifyGiveFromISR(xTaskToNotify, pxHigherPriorityTaskWoken)                           \
    vTaskGenericNotifyGiveFromISR((xTaskToNotify), (tskDEFAULT_INDEX_TO_NOTIFY),                   \
                                  (pxHigherPriorityTaskWoken))
#define ulTaskNotifyTake(xClearCountOnExit, xTicksToWait)                                          \
    ulTaskGenericNotifyTake((tskDEFAULT_INDEX_TO_NOTIFY), (xClearCountOnExit), (xTicksToWait))

#define taskYIELD() portYIELD()
#define taskENTER_CRITICAL() portENTER_CRITICAL()
#define taskEXIT_CRITICAL() portEXIT_CRITICAL()
#define taskENTER_CRITICAL_FROM_ISR() portSET_INTERRUPT_MASK_FROM_ISR()
#define taskEXIT_CRITICAL_FROM_ISR(x) portCLEAR_INTERRUPT_MASK_FROM_ISR(x)

#ifdef __cplusplus
}
#endif

#endif
