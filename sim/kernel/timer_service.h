// The RTOS software timers and the timer service task "Tmr Svc" that runs
// them: commands arrive through the queue "TmrQ", callbacks run in the task,
// expiry times are counted in ticks from the reference time of a command.
#pragma once

#include "queue.h"
#include "scheduler.h"

#include <cstdint>
#include <memory>
#include <vector>

struct tmrTimerControl; // the handle type firmware sees

namespace sim {

class Processor;
struct SoftwareTimer;
using TimerCallback = void (*)(tmrTimerControl*);

inline tmrTimerControl* handleOf(SoftwareTimer* t) {
    return reinterpret_cast<tmrTimerControl*>(t);
}

struct SoftwareTimer {
    const char* name = nullptr; // kept, not copied
    std::uint32_t period = 0;
    bool autoReload = false;
    void* id = nullptr;
    TimerCallback callback = nullptr;
    bool active = false;
    std::uint64_t expiry = 0;
    void* memory = nullptr;
};

// Command numbers as the RTOS numbers them.
enum TimerCommand : std::int32_t {
    kExecuteCallbackFromIsr = -2,
    kExecuteCallback = -1,
    kStartDontTrace = 0,
    kStart = 1,
    kReset = 2,
    kStop = 3,
    kChangePeriod = 4,
    kDelete = 5,
    kStartFromIsr = 6,
    kResetFromIsr = 7,
    kStopFromIsr = 8,
    kChangePeriodFromIsr = 9,
};

class TimerService {
public:
    TimerService(Scheduler& scheduler, Processor& processor);
    ~TimerService();

    SoftwareTimer* create(const char* name, std::uint32_t period, bool autoReload, void* id,
                          TimerCallback callback);
    // Queues a command; from a task it may wait `ticks` for room.
    bool command(SoftwareTimer* t, std::int32_t id, std::uint32_t value, bool* woken,
                 std::uint32_t ticks);
    bool pendFunctionCall(void (*fn)(void*, std::uint32_t), void* p1, std::uint32_t p2,
                          bool* woken);
    bool isActive(const SoftwareTimer* t) const { return t && t->active; }
    // The timer created with `name`, as a debugger finds it; null if none.
    const SoftwareTimer* find(const char* name) const;
    // The active timers, the next to expire first.
    const std::vector<SoftwareTimer*>& active() const { return active_; }

    bool createTask();
    Task* task() const { return task_; }
    Queue& queue() { return *queue_; }

private:
    struct Message {
        std::int32_t id;
        std::uint32_t value;
        SoftwareTimer* timer;
        void (*fn)(void*, std::uint32_t);
        void* p1;
    };

    static void taskBody(void* self);
    void serve();
    void processExpired(std::uint64_t now);
    void handle(const Message& m);
    void insert(SoftwareTimer* t, std::uint64_t expiry);
    void remove(SoftwareTimer* t);
    bool startAt(SoftwareTimer* t, std::uint64_t expiry, std::uint64_t commandTick);

    Scheduler& scheduler_;
    Processor& processor_;
    std::unique_ptr<Queue> queue_;
    Task* task_ = nullptr;
    std::vector<SoftwareTimer*> active_; // by expiry
    std::vector<std::unique_ptr<SoftwareTimer>> timers_;
};

} // namespace sim
