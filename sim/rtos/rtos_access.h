// How the RTOS API reaches the chip that is executing, and the handle types.
#pragma once

#include "kernel/event_group.h"
#include "kernel/processor.h"
#include "kernel/queue.h"
#include "kernel/scheduler.h"
#include "kernel/timer_service.h"

#include "FreeRTOS.h"
#include "event_groups.h"
#include "queue.h"
#include "task.h"
#include "timers.h"

namespace sim::rtos {

inline Processor& chip() {
    return Processor::current();
}
inline Scheduler& scheduler() {
    return chip().scheduler();
}

inline Task* task(TaskHandle_t h) {
    return reinterpret_cast<Task*>(h);
}
inline TaskHandle_t handle(Task* t) {
    return reinterpret_cast<TaskHandle_t>(t);
}
inline Queue* queue(QueueHandle_t h) {
    return reinterpret_cast<Queue*>(h);
}
inline QueueHandle_t handle(Queue* q) {
    return reinterpret_cast<QueueHandle_t>(q);
}
inline SoftwareTimer* timer(TimerHandle_t h) {
    return reinterpret_cast<SoftwareTimer*>(h);
}
inline EventGroup* group(EventGroupHandle_t h) {
    return reinterpret_cast<EventGroup*>(h);
}
inline EventGroupHandle_t handle(EventGroup* g) {
    return reinterpret_cast<EventGroupHandle_t>(g);
}

// Every RTOS call is a point where the caller may be preempted.
inline void leaveApi() {
    scheduler().yieldWithinApi();
}

// Interrupt-only and task-only calls, checked as the port would trap them.
inline void requireTask(const char* api) {
    Processor& p = chip();
    if (p.inInterrupt())
        p.fail(std::string(api) + " called from an interrupt handler");
}

} // namespace sim::rtos
