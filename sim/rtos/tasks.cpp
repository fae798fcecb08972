// Task and notification API.
#include "rtos_access.h"

#include <cstring>

using namespace sim;
using namespace sim::rtos;

extern "C" {

BaseType_t xTaskCreateAffinitySet(TaskFunction_t pxTaskCode, const char* const pcName,
                                  const configSTACK_DEPTH_TYPE uxStackDepth,
                                  void* const pvParameters, UBaseType_t uxPriority,
                                  UBaseType_t uxCoreAffinityMask,
                                  TaskHandle_t* const pxCreatedTask) {
    Task* t = scheduler().createTask(pxTaskCode, pcName, uxStackDepth, pvParameters, uxPriority,
                                     uxCoreAffinityMask);
    if (!t)
        return errCOULD_NOT_ALLOCATE_REQUIRED_MEMORY;
    // The handle is stored before the new task can run, also on the other core.
    if (pxCreatedTask)
        *pxCreatedTask = handle(t);
    leaveApi();
    return pdPASS;
}

BaseType_t xTaskCreate(TaskFunction_t pxTaskCode, const char* const pcName,
                       const configSTACK_DEPTH_TYPE uxStackDepth, void* const pvParameters,
                       UBaseType_t uxPriority, TaskHandle_t* const pxCreatedTask) {
    return xTaskCreateAffinitySet(pxTaskCode, pcName, uxStackDepth, pvParameters, uxPriority,
                                  tskNO_AFFINITY, pxCreatedTask);
}

void vTaskDelete(TaskHandle_t xTaskToDelete) {
    scheduler().deleteTask(task(xTaskToDelete));
    leaveApi();
}

void vTaskDelay(const TickType_t xTicksToDelay) {
    requireTask("vTaskDelay");
    if (!scheduler().started())
        chip().fail("vTaskDelay called before the scheduler runs");
    scheduler().delay(xTicksToDelay);
    leaveApi();
}

TickType_t xTaskGetTickCount(void) {
    return scheduler().tickCount();
}
TickType_t xTaskGetTickCountFromISR(void) {
    return scheduler().tickCount();
}

TaskHandle_t xTaskGetCurrentTaskHandle(void) {
    return handle(scheduler().currentTask());
}

TaskHandle_t xTaskGetHandle(const char* pcNameToQuery) {
    return handle(scheduler().findTask(pcNameToQuery));
}

char* pcTaskGetName(TaskHandle_t xTaskToQuery) {
    Task* t = xTaskToQuery ? task(xTaskToQuery) : scheduler().currentTask();
    return t ? t->name : nullptr;
}

UBaseType_t uxTaskPriorityGet(const TaskHandle_t xTask) {
    Task* t = xTask ? task(xTask) : scheduler().currentTask();
    return t ? t->priority : 0;
}

UBaseType_t vTaskCoreAffinityGet(const TaskHandle_t xTask) {
    Task* t = xTask ? task(xTask) : scheduler().currentTask();
    return t ? t->affinity : 0;
}

eTaskState eTaskGetState(TaskHandle_t xTask) {
    Task* t = task(xTask);
    for (Task* known : scheduler().tasks()) {
        if (known != t)
            continue;
        if (t->state == TaskState::Deleted)
            break; // waiting for the idle task to free it
        if (t->runningOn >= 0)
            return eRunning;
        return t->state == TaskState::Ready ? eReady : eBlocked;
    }
    return eDeleted;
}

UBaseType_t uxTaskGetNumberOfTasks(void) {
    return static_cast<UBaseType_t>(scheduler().tasks().size());
}

void vTaskStartScheduler(void) {
    Processor& p = chip();
    if (!p.inBoot())
        p.fail("vTaskStartScheduler called after the scheduler started");
    if (!p.scheduler().start())
        return;
    // The scheduler owns both cores from here; main never continues.
    for (;;)
        Coroutine::suspend();
}

BaseType_t xTaskGetSchedulerState(void) {
    return scheduler().started() ? taskSCHEDULER_RUNNING : taskSCHEDULER_NOT_STARTED;
}

// Every RTOS call runs in zero virtual time, so suspending the scheduler
// around one changes nothing that could be observed.
void vTaskSuspendAll(void) {}
BaseType_t xTaskResumeAll(void) {
    return pdFALSE;
}

BaseType_t xTaskGenericNotify(TaskHandle_t xTaskToNotify, UBaseType_t uxIndexToNotify,
                              uint32_t ulValue, eNotifyAction eAction,
                              uint32_t* pulPreviousNotificationValue) {
    if (uxIndexToNotify != 0)
        chip().fail("notification index out of range");
    bool ok = scheduler().notify(task(xTaskToNotify), ulValue, eAction,
                                 pulPreviousNotificationValue, nullptr);
    leaveApi();
    return ok ? pdPASS : pdFAIL;
}

BaseType_t xTaskGenericNotifyFromISR(TaskHandle_t xTaskToNotify, UBaseType_t uxIndexToNotify,
                                     uint32_t ulValue, eNotifyAction eAction,
                                     uint32_t* pulPreviousNotificationValue,
                                     BaseType_t* pxHigherPriorityTaskWoken) {
    if (uxIndexToNotify != 0)
        chip().fail("notification index out of range");
    bool woken = false;
    bool ok = scheduler().notify(task(xTaskToNotify), ulValue, eAction,
                                 pulPreviousNotificationValue, &woken);
    if (woken && pxHigherPriorityTaskWoken)
        *pxHigherPriorityTaskWoken = pdTRUE;
    return ok ? pdPASS : pdFAIL;
}

void vTaskGenericNotifyGiveFromISR(TaskHandle_t xTaskToNotify, UBaseType_t uxIndexToNotify,
                                   BaseType_t* pxHigherPriorityTaskWoken) {
    xTaskGenericNotifyFromISR(xTaskToNotify, uxIndexToNotify, 0, eIncrement, nullptr,
                              pxHigherPriorityTaskWoken);
}

uint32_t ulTaskGenericNotifyTake(UBaseType_t uxIndexToWaitOn, BaseType_t xClearCountOnExit,
                                 TickType_t xTicksToWait) {
    requireTask("ulTaskNotifyTake");
    if (uxIndexToWaitOn != 0)
        chip().fail("notification index out of range");
    uint32_t value = scheduler().notifyTake(xClearCountOnExit != pdFALSE, xTicksToWait);
    leaveApi();
    return value;
}

BaseType_t xTaskGenericNotifyWait(UBaseType_t uxIndexToWaitOn, uint32_t ulBitsToClearOnEntry,
                                  uint32_t ulBitsToClearOnExit, uint32_t* pulNotificationValue,
                                  TickType_t xTicksToWait) {
    requireTask("xTaskNotifyWait");
    if (uxIndexToWaitOn != 0)
        chip().fail("notification index out of range");
    bool received = scheduler().notifyWait(ulBitsToClearOnEntry, ulBitsToClearOnExit,
                                           pulNotificationValue, xTicksToWait);
    leaveApi();
    return received ? pdTRUE : pdFALSE;
}

} // extern "C"
