// Base of every object that owns one RTOS task whose body is its run().
#ifndef AGENTS_TASK_AGENT_H
#define AGENTS_TASK_AGENT_H

#include <cstdint>

#include "FreeRTOS.h"
#include "task.h"

class TaskAgent {
public:
    TaskAgent() = default;
    TaskAgent(const TaskAgent&) = delete;
    TaskAgent& operator=(const TaskAgent&) = delete;
    virtual ~TaskAgent();

    // Creates the task; true when the RTOS created it. Called once.
    bool start(const char* name, uint32_t priority, uint32_t coreAffinityMask, void* userData);

    virtual void del();

    // The task body; receives the userData given to start and never returns.
    virtual void run(void* userData) = 0;

protected:
    TaskHandle_t _handle = nullptr;
    uint32_t _stackDepth = 256;

private:
    struct Params {
        TaskAgent* self;
        void* userData;
    };

    static void __task(void* params);

    // The task parameter points here, so the object must outlive its task.
    Params _params{nullptr, nullptr};
};

#endif
