#ifndef QUEUE_H
#define QUEUE_H

#ifndef INC_FREERTOS_H
#error "include FreeRTOS.h must appear in source files before include queue.h"
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct QueueDefinition;
typedef struct QueueDefinition* QueueHandle_t;

#define queueSEND_TO_BACK ((BaseType_t)0)
#define queueSEND_TO_FRONT ((BaseType_t)1)
#define queueOVERWRITE ((BaseType_t)2)
#define queueQUEUE_TYPE_BASE ((uint8_t)0U)

QueueHandle_t xQueueGenericCreate(const UBaseType_t uxQueueLength, const UBaseType_t uxItemSize,
                                  const uint8_t ucQueueType);
BaseType_t xQueueGenericSend(QueueHandle_t xQueue, const void* const pvItemToQueue,
                             TickType_t xTicksToWait, const BaseType_t xCopyPosition);
BaseType_t xQueueGenericSendFromISR(QueueHandle_t xQueue, const void* const pvItemToQueue,
                                    BaseType_t* const pxHigherPriorityTaskWoken,
                                    const BaseType_t xCopyPosition);
BaseType_t xQueueReceive(QueueHandle_t xQueue, void* const pvBuffer, TickType_t xTicksToWait);
UBaseType_t uxQueueMessagesWaiting(const QueueHandle_t xQueue);
UBaseType_t uxQueueSpacesAvailable(const QueueHandle_t xQueue);
void vQueueDelete(QueueHandle_t xQueue);
void vQueueAddToRegistry(QueueHandle_t xQueue, const char* pcQueueName);
void vQueueUnregisterQueue(QueueHandle_t xQueue);
const char* pcQueueGetName(QueueHandle_t xQueue);

#define xQueueCreate(uxQueueLength, uxItemSize)                                                    \
    xQueueGenericCreate((uxQueueLength), (uxItemSize), (queueQUEUE_TYPE_BASE))
#define xQueueSend(xQueue, pvItemToQueue, xTicksToWait)                                            \
    xQueueGenericSend((xQueue), (pvItemToQueue), (xTicksToWait), queueSEND_TO_BACK)
#define xQueueSendToBack(xQueue, pvItemToQueue, xTicksToWait)                                      \
    xQueueGenericSend((xQueue), (pvItemToQueue), (xTicksToWait), queueSEND_TO_BACK)
#define xQueueSendToFront(xQueue, pvItemToQueue, xTicksToWait)                                     \
    xQueueGenericSend((xQueue), (pvItemToQueue), (xTicksToWait), queueSEND_TO_FRONT)
#define xQueueSendFromISR(xQueue, pvItemToQueue, pxHigherPriorityTaskWoken)                        \
    xQueueGenericSendFromISR((xQueue), (pvItemToQueue), (pxHigherPriorityTaskWoken),               \
                             queueSEND_TO_BACK)
#define xQueueSendToBackFromISR(xQueue, pvItemToQueue, pxHigherPriorityTaskWoken)                  \
    xQueueGenericSendFromISR((xQueue), (pvItemToQueue), (pxHigherPriorityTaskWoken),               \
                             queueSEND_TO_BACK)

#ifdef __cplusplus
}
#endif

#endif
