// Queue API and the queue registry.
#include "rtos_access.h"

using namespace sim;
using namespace sim::rtos;

extern "C" {

QueueHandle_t xQueueGenericCreate(const UBaseType_t uxQueueLength, const UBaseType_t uxItemSize,
                                  const uint8_t) {
    if (uxQueueLength == 0)
        return nullptr;
    return handle(scheduler().createQueue(uxQueueLength, uxItemSize));
}

BaseType_t xQueueGenericSend(QueueHandle_t xQueue, const void* const pvItemToQueue,
                             TickType_t xTicksToWait, const BaseType_t xCopyPosition) {
    requireTask("xQueueSend");
    if (!xQueue)
        chip().fail("xQueueSend on a null queue");
    bool ok = queue(xQueue)->send(pvItemToQueue, xTicksToWait, xCopyPosition == queueSEND_TO_FRONT);
    leaveApi();
    return ok ? pdPASS : errQUEUE_FULL;
}

BaseType_t xQueueGenericSendFromISR(QueueHandle_t xQueue, const void* const pvItemToQueue,
                                    BaseType_t* const pxHigherPriorityTaskWoken,
                                    const BaseType_t xCopyPosition) {
    if (!xQueue)
        chip().fail("xQueueSendFromISR on a null queue");
    bool woken = false;
    bool ok =
        queue(xQueue)->sendFromIsr(pvItemToQueue, xCopyPosition == queueSEND_TO_FRONT, &woken);
    if (woken && pxHigherPriorityTaskWoken)
        *pxHigherPriorityTaskWoken = pdTRUE;
    return ok ? pdPASS : errQUEUE_FULL;
}

BaseType_t xQueueReceive(QueueHandle_t xQueue, void* const pvBuffer, TickType_t xTicksToWait) {
    requireTask("xQueueReceive");
    if (!xQueue)
        chip().fail("xQueueReceive on a null queue");
    bool ok = queue(xQueue)->receive(pvBuffer, xTicksToWait);
    leaveApi();
    return ok ? pdPASS : errQUEUE_EMPTY;
}

UBaseType_t uxQueueMessagesWaiting(const QueueHandle_t xQueue) {
    return xQueue ? queue(xQueue)->waiting() : 0;
}

UBaseType_t uxQueueSpacesAvailable(const QueueHandle_t xQueue) {
    return xQueue ? queue(xQueue)->spaces() : 0;
}

void vQueueDelete(QueueHandle_t xQueue) {
    if (xQueue)
        scheduler().deleteQueue(queue(xQueue));
    leaveApi();
}

void vQueueAddToRegistry(QueueHandle_t xQueue, const char* pcQueueName) {
    scheduler().registerQueue(queue(xQueue), pcQueueName);
}

void vQueueUnregisterQueue(QueueHandle_t xQueue) {
    scheduler().unregisterQueue(queue(xQueue));
}

const char* pcQueueGetName(QueueHandle_t xQueue) {
    return scheduler().queueName(queue(xQueue));
}

} // extern "C"
