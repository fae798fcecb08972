#include "agents/task_agent.h"

TaskAgent::~TaskAgent() {
    if (_handle != nullptr) {
        vTaskDelete(_handle);
    }
}

bool TaskAgent::start(const char* name, uint32_t priority, uint32_t coreAffinityMask,
                      void* userData) {
    // Filled before the task exists, so the task always finds both set.
    _params.self = this;
    _params.userData = userData;
    return xTaskCreateAffinitySet(__task, name, _stackDepth, &_params, priority, coreAffinityMask,
                                  &_handle) == pdPASS;
}

void TaskAgent::del() {
    if (_handle != nullptr) {
        TaskHandle_t handle = _handle;
        _handle = nullptr;
        vTaskDelete(handle);
    }
}

void TaskAgent::__task(void* params) {
    const Params* p = static_cast<const Params*>(params);
    p->self->run(p->userData);
}
