// Event group API. Setting bits from an interrupt is deferred to the timer
// service task, as the RTOS does it.
#include "rtos_access.h"

using namespace sim;
using namespace sim::rtos;

namespace {

void setBitsDeferred(void* group, uint32_t bits) {
    static_cast<EventGroup*>(group)->set(bits);
}

} // namespace

extern "C" {

EventGroupHandle_t xEventGroupCreate(void) {
    return handle(scheduler().createEventGroup());
}

EventBits_t xEventGroupWaitBits(EventGroupHandle_t xEventGroup, const EventBits_t uxBitsToWaitFor,
                                const BaseType_t xClearOnExit, const BaseType_t xWaitForAllBits,
                                TickType_t xTicksToWait) {
    requireTask("xEventGroupWaitBits");
    EventBits_t bits = group(xEventGroup)
                           ->wait(uxBitsToWaitFor, xClearOnExit != pdFALSE,
                                  xWaitForAllBits != pdFALSE, xTicksToWait);
    leaveApi();
    return bits;
}

EventBits_t xEventGroupClearBits(EventGroupHandle_t xEventGroup, const EventBits_t uxBitsToClear) {
    return group(xEventGroup)->clear(uxBitsToClear);
}

EventBits_t xEventGroupSetBits(EventGroupHandle_t xEventGroup, const EventBits_t uxBitsToSet) {
    return group(xEventGroup)->set(uxBitsToSet);
}

BaseType_t xEventGroupSetBitsFromISR(EventGroupHandle_t xEventGroup, const EventBits_t uxBitsToSet,
                                     BaseType_t* pxHigherPriorityTaskWoken) {
    return xTimerPendFunctionCallFromISR(&setBitsDeferred, group(xEventGroup), uxBitsToSet,
                                         pxHigherPriorityTaskWoken);
}

EventBits_t xEventGroupGetBits(EventGroupHandle_t xEventGroup) {
    return group(xEventGroup)->bits();
}

void vEventGroupDelete(EventGroupHandle_t xEventGroup) {
    scheduler().deleteEventGroup(group(xEventGroup));
}

} // extern "C"
