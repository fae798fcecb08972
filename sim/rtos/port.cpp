// The port layer: yields, critical sections and the heap (scheme 3).
#include "rtos_access.h"

using namespace sim;
using namespace sim::rtos;

namespace {
// The port's critical section: both RTOS spin locks, with interrupts masked.
constexpr unsigned kRtosSpinLock = 14;
} // namespace

extern "C" {

void vPortYieldFromISR(BaseType_t xSwitchRequired) {
    Processor& p = chip();
    if (xSwitchRequired && p.currentCore() >= 0)
        p.scheduler().requestSwitch(p.currentCore());
}

void vPortYield(void) {
    Processor& p = chip();
    if (p.currentCore() >= 0)
        p.scheduler().requestSwitch(p.currentCore());
    p.preemptionPoint();
}

BaseType_t xPortGetCoreID(void) {
    return chip().currentCore() < 0 ? 0 : chip().currentCore();
}

uint32_t ulPortSetInterruptMask(void) {
    return chip().saveAndDisableInterrupts();
}

void vPortClearInterruptMask(uint32_t ulMask) {
    chip().restoreInterrupts(ulMask);
}

void vPortEnterCritical(void) {
    Processor& p = chip();
    int core = p.currentCore() < 0 ? 0 : p.currentCore();
    std::uint32_t saved = p.saveAndDisableInterrupts();
    if (p.portCritical[core].nesting++ == 0) {
        p.portCritical[core].savedMask = saved;
        p.spinLockAcquire(kRtosSpinLock);
    }
}

void vPortExitCritical(void) {
    Processor& p = chip();
    int core = p.currentCore() < 0 ? 0 : p.currentCore();
    if (p.portCritical[core].nesting == 0)
        return;
    if (--p.portCritical[core].nesting == 0) {
        p.spinLockRelease(kRtosSpinLock);
        p.restoreInterrupts(p.portCritical[core].savedMask);
        p.scheduler().yieldWithinApi();
    }
}

void vTaskEnterCritical(void) {
    vPortEnterCritical();
}
void vTaskExitCritical(void) {
    vPortExitCritical();
}

void* pvPortMalloc(size_t xWantedSize) {
    return chip().heap().allocate(xWantedSize);
}

void vPortFree(void* pv) {
    chip().heap().release(pv);
}

} // extern "C"
