#include "scheduler.h"

#include "event_group.h"
#include "processor.h"
#include "queue.h"
#include "timer_service.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

// What the RTOS allocates on the chip for a task: its control block and its
// stack, both from the heap.
constexpr std::size_t kTcbBytes = 200;

// Notification actions, as eNotifyAction numbers them.
enum NotifyAction {
    kNoAction = 0,
    kSetBits,
    kIncrement,
    kSetValueWithOverwrite,
    kSetValueWithoutOverwrite
};

void idleBody(void*) {}

} // namespace

void WaitList::add(Task* t) {
    auto pos = std::find_if(tasks_.begin(), tasks_.end(),
                            [t](const Task* other) { return other->priority < t->priority; });
    tasks_.insert(pos, t);
    t->waitingOn = this;
}

void WaitList::remove(Task* t) {
    auto it = std::find(tasks_.begin(), tasks_.end(), t);
    if (it != tasks_.end())
        tasks_.erase(it);
    if (t->waitingOn == this)
        t->waitingOn = nullptr;
}

Scheduler::Scheduler(Processor& processor)
    : processor_(processor), timers_(std::make_unique<TimerService>(*this, processor)) {}

Scheduler::~Scheduler() {
    timers_.reset();
    queues_.clear();
    eventGroups_.clear();
    for (Task* t : all_)
        delete t;
}

int Scheduler::executingCore() const {
    int core = processor_.currentCore();
    return core < 0 ? 0 : core;
}

void Scheduler::trace(const std::string& what) const {
    processor_.trace(what);
}

Task* Scheduler::currentTask() const {
    if (processor_.inBoot() || processor_.currentCore() < 0)
        return nullptr;
    return running_[processor_.currentCore()];
}

Task* Scheduler::findTask(const char* name) const {
    for (Task* t : all_)
        if (std::strcmp(t->name, name) == 0)
            return t;
    return nullptr;
}

Task* Scheduler::createTask(TaskBody body, const char* name, std::uint32_t stackWords,
                            void* parameter, unsigned priority, std::uint32_t affinity) {
    Heap& heap = processor_.heap();
    void* stack = heap.allocate(static_cast<std::size_t>(stackWords) * 4u);
    if (!stack)
        return nullptr;
    void* tcb = heap.allocate(kTcbBytes);
    if (!tcb) {
        heap.release(stack);
        return nullptr;
    }
    auto* t = new Task;
    t->processor = &processor_;
    if (name)
        std::strncpy(t->name, name, kTaskNameLength - 1);
    t->priority = std::min(priority, kPriorities - 1);
    t->affinity = affinity & kAllCores;
    t->body = body;
    t->parameter = parameter;
    t->idle = body == &idleBody;
    t->serial = nextSerial_++;
    t->stackMemory = stack;
    t->tcbMemory = tcb;
    if (!t->idle)
        t->coroutine = std::make_unique<Coroutine>(
            [](void* arg) {
                Task* self = static_cast<Task*>(arg);
                self->body(self->parameter);
                // A task body must never return: the port's exit handler
                // panics on the chip.
                self->processor->fail("task body returned");
            },
            t);
    all_.push_back(t);
    trace(std::string("create ") + t->name);
    makeReady(t);
    return t;
}

void Scheduler::makeReady(Task* t) {
    t->state = TaskState::Ready;
    ready_[t->priority].push_back(t);
    if (started_)
        yieldForTask(t);
}

void Scheduler::removeFromReady(Task* t) {
    auto& list = ready_[t->priority];
    auto it = std::find(list.begin(), list.end(), t);
    if (it != list.end())
        list.erase(it);
}

void Scheduler::addDelayed(Task* t, std::uint64_t wakeTick) {
    t->delayed = true;
    t->wakeTick = wakeTick;
    auto pos = std::find_if(delayed_.begin(), delayed_.end(),
                            [wakeTick](const Task* other) { return other->wakeTick > wakeTick; });
    delayed_.insert(pos, t);
}

void Scheduler::removeDelayed(Task* t) {
    if (!t->delayed)
        return;
    auto it = std::find(delayed_.begin(), delayed_.end(), t);
    if (it != delayed_.end())
        delayed_.erase(it);
    t->delayed = false;
}

// A task became ready: find the core running the lowest priority below it
// that it may use, and make that core switch.
void Scheduler::yieldForTask(Task* t) {
    if (t->runningOn >= 0)
        return;
    int lowestToPreempt = static_cast<int>(t->priority) - 1;
    int lowestCore = -1;
    for (int core = 0; core < kCores; ++core) {
        Task* r = running_[core];
        if (!r || yieldPending_[core] || switchPending_[core])
            continue;
        int p = static_cast<int>(r->priority) - (r->idle ? 1 : 0);
        if (p <= lowestToPreempt && (t->affinity & (1u << core))) {
            lowestToPreempt = p;
            lowestCore = core;
        }
    }
    if (lowestCore >= 0)
        yieldCore(lowestCore);
}

void Scheduler::yieldCore(int core) {
    if (core == executingCore() && processor_.currentCore() >= 0)
        yieldPending_[core] = true; // the executing context decides when
    else
        interruptCore(core);
}

// The other core is interrupted at once; in a perturbed run the interrupt
// and the switch take it a little while, and the caller goes on meanwhile.
void Scheduler::interruptCore(int core) {
    Perturbation* p = processor_.simulation().perturbation();
    if (!switchPending_[core] && p && processor_.currentCore() >= 0) {
        const Time delay = p->crossCoreWake();
        switchDue_[core] = processor_.now() + delay;
        if (delay > 0)
            processor_.wakeAt(switchDue_[core]);
    }
    switchPending_[core] = true;
}

bool Scheduler::switchPending(int core) const {
    return switchPending_[core] && switchDue_[core] <= processor_.now();
}

void Scheduler::select(int core) {
    yieldPending_[core] = false;
    switchPending_[core] = false;
    switchDue_[core] = 0;
    Task* current = running_[core];
    if (current && current->state == TaskState::Ready) {
        auto& list = ready_[current->priority];
        list.erase(std::find(list.begin(), list.end(), current));
        list.push_back(current);
    }
    Task* chosen = nullptr;
    for (int p = kPriorities - 1; p >= 0 && !chosen; --p) {
        for (Task* t : ready_[p]) {
            if ((t->runningOn < 0 || t == current) && (t->affinity & (1u << core))) {
                chosen = t;
                break;
            }
        }
    }
    if (chosen == current)
        return;
    if (current)
        current->runningOn = -1;
    running_[core] = chosen;
    if (chosen)
        chosen->runningOn = core;
    if (processor_.simulation().tracing())
        trace("core " + std::to_string(core) + " runs " + (chosen ? chosen->name : "nothing"));
    // A task pushed off this core may still preempt a lower priority on a
    // core where the task that replaced it may not run.
    if (current && current->state == TaskState::Ready) {
        std::uint32_t cores = current->affinity;
        if (cores & (1u << core))
            cores &= ~chosen->affinity;
        int lowest = static_cast<int>(current->priority) - (current->idle ? 1 : 0);
        int lowestCore = -1;
        for (int other = kCores - 1; other >= 0; --other) {
            Task* r = running_[other];
            if (!(cores & (1u << other)) || !r || yieldPending_[other])
                continue;
            int p = static_cast<int>(r->priority) - (r->idle ? 1 : 0);
            if (p < lowest) {
                lowest = p;
                lowestCore = other;
            }
        }
        if (lowestCore >= 0)
            requestSwitch(lowestCore);
    }
}

bool Scheduler::start() {
    if (started_)
        return true;
    for (int core = 0; core < kCores; ++core) {
        char name[8] = "IDLE0";
        name[4] = static_cast<char>('0' + core);
        idle_[core] = createTask(&idleBody, name, 256, nullptr, 0, kAllCores);
        // Without its idle or timer task the scheduler does not start, and
        // vTaskStartScheduler returns to main.
        if (!idle_[core])
            return false;
    }
    if (!timers_->createTask())
        return false;
    started_ = true;
    startedAt_ = processor_.now();
    tick_ = 0;
    // The first task starts with interrupts enabled on both cores, also
    // when main left them masked in a critical section.
    for (int core = 0; core < kCores; ++core)
        processor_.irqs_[core].masked = false;
    for (int core = 0; core < kCores; ++core)
        select(core);
    return true;
}

bool Scheduler::block(WaitList* list, std::uint32_t ticks) {
    Task* t = currentTask();
    if (!t || processor_.inInterrupt())
        processor_.fail("blocking call outside a task");
    if (processor_.holdsSpinLock(t->runningOn) || processor_.interruptsMasked(t->runningOn))
        processor_.fail("blocking call inside a critical section");
    removeFromReady(t);
    t->state = TaskState::Blocked;
    t->timedOut = false;
    if (ticks != kWaitForever)
        addDelayed(t, tick_ + ticks);
    if (list)
        list->add(t);
    requestSwitch(t->runningOn);
    processor_.leaveContext();
    return !t->timedOut;
}

bool Scheduler::wake(Task* t) {
    if (t->state != TaskState::Blocked)
        return false;
    if (t->waitingOn)
        t->waitingOn->remove(t);
    removeDelayed(t);
    t->timedOut = false;
    makeReady(t);
    return started_ && yieldPending_[executingCore()];
}

void Scheduler::yieldWithinApi() {
    int core = processor_.currentCore();
    if (core < 0 || processor_.inInterrupt() || processor_.inBoot())
        return;
    if (yieldPending_[core] && !processor_.interruptsMasked(core) &&
        !processor_.holdsSpinLock(core))
        requestSwitch(core);
    processor_.preemptionPoint();
}

void Scheduler::delay(std::uint32_t ticks) {
    if (ticks == 0) {
        // A delay of zero only offers the core to tasks of equal priority.
        Task* t = currentTask();
        if (t)
            requestSwitch(t->runningOn);
        processor_.preemptionPoint();
        return;
    }
    block(nullptr, ticks);
}

void Scheduler::deleteTask(Task* t) {
    Task* self = currentTask();
    if (!t)
        t = self;
    if (!t || t->state == TaskState::Deleted)
        return;
    if (t->runningOn >= 0 &&
        (processor_.holdsSpinLock(t->runningOn) || processor_.interruptsMasked(t->runningOn)) &&
        t == self)
        processor_.fail("task deleted while inside a critical section");
    trace(std::string("delete ") + t->name);
    if (t->state == TaskState::Ready)
        removeFromReady(t);
    if (t->waitingOn)
        t->waitingOn->remove(t);
    removeDelayed(t);
    t->state = TaskState::Deleted;
    int core = t->runningOn;
    if (core >= 0)
        requestSwitch(core);
    if (t == self && !processor_.inInterrupt()) {
        processor_.leaveContext(); // never comes back
        return;
    }
    // A task running on a core (the other one, or the one this interrupt
    // stopped) is freed by the idle task; any other at once.
    if (core >= 0) {
        retire(t);
        return;
    }
    reap(t);
}

void Scheduler::retire(Task* t) {
    for (int core = 0; core < kCores; ++core)
        if (running_[core] == t)
            running_[core] = nullptr;
    t->runningOn = -1;
    if (std::find(terminating_.begin(), terminating_.end(), t) == terminating_.end())
        terminating_.push_back(t);
}

void Scheduler::idleTurn() {
    while (!terminating_.empty())
        reap(terminating_.front());
}

void Scheduler::reap(Task* t) {
    auto it = std::find(all_.begin(), all_.end(), t);
    if (it == all_.end())
        return;
    all_.erase(it);
    terminating_.erase(std::remove(terminating_.begin(), terminating_.end(), t),
                       terminating_.end());
    for (int core = 0; core < kCores; ++core)
        if (running_[core] == t)
            running_[core] = nullptr;
    processor_.heap().release(t->stackMemory);
    processor_.heap().release(t->tcbMemory);
    delete t;
}

void Scheduler::tick() {
    ++tick_;
    while (!delayed_.empty() && delayed_.front()->wakeTick <= tick_) {
        Task* t = delayed_.front();
        delayed_.erase(delayed_.begin());
        t->delayed = false;
        if (t->waitingOn)
            t->waitingOn->remove(t);
        t->timedOut = true;
        makeReady(t);
    }
    // Time slicing: a core whose priority level holds more ready tasks gives
    // the next one its turn.
    for (int core = 0; core < kCores; ++core) {
        Task* r = running_[core];
        if (r && ready_[r->priority].size() > 1)
            yieldPending_[core] = true;
    }
    for (int core = 0; core < kCores; ++core)
        if (yieldPending_[core])
            requestSwitch(core);
}

bool Scheduler::notify(Task* t, std::uint32_t value, int action, std::uint32_t* previous,
                       bool* woken) {
    if (!t || t->state == TaskState::Deleted)
        processor_.fail("notification sent to a task that does not exist");
    if (previous)
        *previous = t->notifyValue;
    NotifyState before = t->notifyState;
    t->notifyState = NotifyState::Received;
    bool result = true;
    switch (action) {
    case kSetBits:
        t->notifyValue |= value;
        break;
    case kIncrement:
        ++t->notifyValue;
        break;
    case kSetValueWithOverwrite:
        t->notifyValue = value;
        break;
    case kSetValueWithoutOverwrite:
        if (before != NotifyState::Received)
            t->notifyValue = value;
        else
            result = false;
        break;
    default:
        break;
    }
    bool yield = false;
    if (before == NotifyState::Waiting)
        yield = wake(t);
    if (woken && yield)
        *woken = true;
    return result;
}

std::uint32_t Scheduler::notifyTake(bool clearOnExit, std::uint32_t ticks) {
    Task* t = currentTask();
    if (!t)
        processor_.fail("notification taken outside a task");
    if (t->notifyValue == 0 && ticks != 0) {
        t->notifyState = NotifyState::Waiting;
        block(nullptr, ticks);
    }
    std::uint32_t value = t->notifyValue;
    if (value != 0)
        t->notifyValue = clearOnExit ? 0 : value - 1;
    t->notifyState = NotifyState::Idle;
    return value;
}

bool Scheduler::notifyWait(std::uint32_t clearOnEntry, std::uint32_t clearOnExit,
                           std::uint32_t* value, std::uint32_t ticks) {
    Task* t = currentTask();
    if (!t)
        processor_.fail("notification awaited outside a task");
    if (t->notifyState != NotifyState::Received) {
        t->notifyValue &= ~clearOnEntry;
        t->notifyState = NotifyState::Waiting;
        if (ticks != 0)
            block(nullptr, ticks);
    }
    if (value)
        *value = t->notifyValue;
    bool received = t->notifyState == NotifyState::Received;
    if (received)
        t->notifyValue &= ~clearOnExit;
    t->notifyState = NotifyState::Idle;
    return received;
}

Queue* Scheduler::createQueue(unsigned length, unsigned itemSize) {
    // The queue's control block and storage come from the heap in one block.
    void* memory = processor_.heap().allocate(80 + static_cast<std::size_t>(length) * itemSize);
    if (!memory)
        return nullptr;
    queues_.push_back(std::make_unique<Queue>(*this, length, itemSize));
    queues_.back()->setMemory(memory);
    return queues_.back().get();
}

void Scheduler::deleteQueue(Queue* q) {
    auto it =
        std::find_if(queues_.begin(), queues_.end(), [q](const auto& p) { return p.get() == q; });
    if (it == queues_.end())
        return;
    processor_.heap().release(q->memory());
    queues_.erase(it);
}

EventGroup* Scheduler::createEventGroup() {
    void* memory = processor_.heap().allocate(32);
    if (!memory)
        return nullptr;
    eventGroups_.push_back(std::make_unique<EventGroup>(*this));
    eventGroups_.back()->memory = memory;
    return eventGroups_.back().get();
}

void Scheduler::deleteEventGroup(EventGroup* g) {
    auto it = std::find_if(eventGroups_.begin(), eventGroups_.end(),
                           [g](const auto& p) { return p.get() == g; });
    if (it == eventGroups_.end())
        return;
    processor_.heap().release(g->memory);
    eventGroups_.erase(it);
}

void Scheduler::registerQueue(Queue* q, const char* name) {
    for (auto& entry : registry_)
        if (entry.first == q) {
            entry.second = name;
            return;
        }
    registry_.emplace_back(q, name);
}

void Scheduler::unregisterQueue(Queue* q) {
    registry_.erase(std::remove_if(registry_.begin(), registry_.end(),
                                   [q](const auto& entry) { return entry.first == q; }),
                    registry_.end());
}

const char* Scheduler::queueName(const Queue* q) const {
    for (const auto& entry : registry_)
        if (entry.first == q)
            return entry.second;
    return nullptr;
}

Queue* Scheduler::findQueue(const char* name) const {
    for (const auto& entry : registry_)
        if (entry.second && std::strcmp(entry.second, name) == 0)
            return entry.first;
    return nullptr;
}

} // namespace sim
