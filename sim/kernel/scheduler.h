// The RTOS scheduler of one chip, with the rules of FreeRTOS SMP on two cores:
// each core runs the highest-priority ready task its affinity allows and that
// the other core is not running; a task that becomes ready preempts the core
// running the lowest priority below its own; equal priorities share a core
// round-robin at every tick, and the tick runs on core 0 only.
#pragma once

#include "engine/coroutine.h"
#include "engine/time.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class EventGroup;
class Processor;
class Queue;
class TimerService;
struct Task;

constexpr unsigned kPriorities = 32;
constexpr unsigned kTaskNameLength = 16; // with the terminator
constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;
constexpr std::uint32_t kAllCores = 0x3;

using TaskBody = void (*)(void*);

// Tasks blocked on one object (a queue's senders, an event group...), woken
// highest priority first and in arrival order among equals.
class WaitList {
public:
    void add(Task* t);
    void remove(Task* t);
    Task* front() const { return tasks_.empty() ? nullptr : tasks_.front(); }
    bool empty() const { return tasks_.empty(); }
    const std::vector<Task*>& tasks() const { return tasks_; }

private:
    std::vector<Task*> tasks_;
};

enum class TaskState { Ready, Blocked, Deleted };
enum class NotifyState : std::uint8_t { Idle, Waiting, Received };

struct Task {
    Processor* processor = nullptr;
    char name[kTaskNameLength] = {};
    unsigned priority = 0;
    std::uint32_t affinity = kAllCores;
    TaskBody body = nullptr;
    void* parameter = nullptr;
    std::unique_ptr<Coroutine> coroutine; // none for the idle tasks
    bool idle = false;
    std::uint64_t serial = 0;

    TaskState state = TaskState::Ready;
    int runningOn = -1;

    // Blocking
    bool delayed = false;
    std::uint64_t wakeTick = 0;
    WaitList* waitingOn = nullptr;
    bool timedOut = false;
    std::uint32_t eventBits = 0;  // event groups: what the wait is for / what woke it
    std::uint32_t eventFlags = 0; // event groups: clear-on-exit, wait-for-all

    // Direct-to-task notification, index 0
    std::uint32_t notifyValue = 0;
    NotifyState notifyState = NotifyState::Idle;

    // A busy-wait in progress: the task occupies its core until then.
    Time busyUntil = 0;

    // Heap blocks taken for the control block and the stack (heap scheme 3).
    void* tcbMemory = nullptr;
    void* stackMemory = nullptr;
};

class Scheduler {
public:
    explicit Scheduler(Processor& processor);
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // --- tasks ----------------------------------------------------------------
    // Returns nullptr when the heap cannot hold the task.
    Task* createTask(TaskBody body, const char* name, std::uint32_t stackWords, void* parameter,
                     unsigned priority, std::uint32_t affinity);
    void deleteTask(Task* t); // nullptr: the calling task
    void delay(std::uint32_t ticks);
    bool start(); // false: no memory for the idle or timer task
    bool started() const { return started_; }
    std::uint32_t tickCount() const { return static_cast<std::uint32_t>(tick_); }
    std::uint64_t tick64() const { return tick_; }
    Time startedAt() const { return startedAt_; }
    // The task on the executing core (the interrupted one in a handler).
    Task* currentTask() const;
    Task* running(int core) const { return running_[core]; }
    Task* idleTask(int core) const { return idle_[core]; }
    Task* findTask(const char* name) const;
    const std::vector<Task*>& tasks() const { return all_; }

    // --- blocking and waking, for the RTOS objects -------------------------------
    // Blocks the calling task on `list` (may be null) for at most `ticks`
    // (kWaitForever: no limit). Returns false when the time ran out.
    bool block(WaitList* list, std::uint32_t ticks);
    // Makes a blocked task ready again because of an event. Returns true when
    // the executing core should switch to it (the FromISR "woken" result).
    bool wake(Task* t);
    // A task-level API call that made a task ready: switch now if it preempts.
    void yieldWithinApi();
    // portYIELD_FROM_ISR(true) / taskYIELD: switch the executing core at the
    // next opportunity.
    void requestSwitch(int core) {
        switchPending_[core] = true;
        switchDue_[core] = 0;
    }
    // A switch requested for a core that is due now (a perturbed run may
    // delay the other core's switch a little).
    bool switchPending(int core) const;
    bool yieldPending(int core) const { return yieldPending_[core]; }

    // --- notifications ---------------------------------------------------------
    bool notify(Task* t, std::uint32_t value, int action, std::uint32_t* previous, bool* woken);
    std::uint32_t notifyTake(bool clearOnExit, std::uint32_t ticks);
    bool notifyWait(std::uint32_t clearOnEntry, std::uint32_t clearOnExit, std::uint32_t* value,
                    std::uint32_t ticks);

    // --- the run loop's side ---------------------------------------------------
    void tick();           // the tick interrupt, on core 0
    void select(int core); // picks the task the core runs next
    void reap(Task* t);    // frees a deleted task's memory
    // A deleted task that was running when it was deleted: its memory waits
    // for the idle task, as on the chip.
    void retire(Task* t);
    // A turn of the idle task that cleans up ("IDLE0"): frees what waits.
    void idleTurn();
    std::size_t tasksWaitingCleanUp() const { return terminating_.size(); }

    // --- the RTOS objects of this chip (gone with a reset) ---------------------
    Queue* createQueue(unsigned length, unsigned itemSize); // nullptr: no memory
    void deleteQueue(Queue* q);
    EventGroup* createEventGroup();
    void deleteEventGroup(EventGroup* g);

    TimerService& timers() { return *timers_; }
    const TimerService& timers() const { return *timers_; }
    void registerQueue(Queue* q, const char* name);
    void unregisterQueue(Queue* q);
    const char* queueName(const Queue* q) const;
    Queue* findQueue(const char* name) const;

private:
    void makeReady(Task* t);
    void removeFromReady(Task* t);
    void addDelayed(Task* t, std::uint64_t wakeTick);
    void removeDelayed(Task* t);
    void yieldForTask(Task* t);
    void yieldCore(int core);
    void interruptCore(int core);
    int executingCore() const;
    void trace(const std::string& what) const;

    Processor& processor_;
    bool started_ = false;
    Time startedAt_ = 0;
    std::uint64_t tick_ = 0;
    std::uint64_t nextSerial_ = 0;
    std::array<std::vector<Task*>, kPriorities> ready_;
    std::vector<Task*> delayed_; // by wake tick, in arrival order among equals
    std::vector<Task*> all_;
    std::vector<Task*> terminating_; // deleted, memory not yet freed
    std::array<Task*, 2> running_{};
    std::array<Task*, 2> idle_{};
    std::array<bool, 2> yieldPending_{};
    std::array<bool, 2> switchPending_{};
    std::array<Time, 2> switchDue_{};
    std::vector<std::unique_ptr<Queue>> queues_;
    std::vector<std::unique_ptr<EventGroup>> eventGroups_;
    std::unique_ptr<TimerService> timers_;
    std::vector<std::pair<Queue*, const char*>> registry_;
};

} // namespace sim
