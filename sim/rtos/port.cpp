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

// As the kernel's SMP critical section: entry masks interrupts and, once
// the scheduler runs, takes the locks; exit enables interrupts outright and
// takes a yield that became pending inside. Before the scheduler starts the
// exit does nothing, so interrupts stay masked until the first task runs.
void vPortEnterCritical(void) {
    Processor& p = chip();
    p.perturbationPoint();
    const int core = p.currentCore() < 0 ? 0 : p.currentCore();
    p.saveAndDisableInterrupts();
    if (!p.scheduler().started())
        return;
    if (p.portCritical[core].nesting++ == 0)
        p.spinLockAcquire(kRtosSpinLock);
}

void vPortExitCritical(void) {
    Processor& p = chip();
    const int core = p.currentCore() < 0 ? 0 : p.currentCore();
    if (!p.scheduler().started() || p.portCritical[core].nesting == 0)
        return;
    if (--p.portCritical[core].nesting == 0) {
        p.spinLockRelease(kRtosSpinLock);
        p.restoreInterrupts(0);
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
