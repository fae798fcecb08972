#include "timer_service.h"

#include "processor.h"

#include <FreeRTOSConfig.h>

#include <algorithm>
#include <cstring>

namespace sim {

namespace {
constexpr std::size_t kTimerBytes = 44;
} // namespace

TimerService::TimerService(Scheduler& scheduler, Processor& processor)
    : scheduler_(scheduler), processor_(processor) {}

TimerService::~TimerService() = default;

SoftwareTimer* TimerService::create(const char* name, std::uint32_t period, bool autoReload,
                                    void* id, TimerCallback callback) {
    if (!queue_) {
        queue_ = std::make_unique<Queue>(scheduler_, configTIMER_QUEUE_LENGTH, sizeof(Message));
        scheduler_.registerQueue(queue_.get(), "TmrQ");
    }
    void* memory = processor_.heap().allocate(kTimerBytes);
    if (!memory)
        return nullptr;
    auto t = std::make_unique<SoftwareTimer>();
    t->name = name;
    t->period = period;
    t->autoReload = autoReload;
    t->id = id;
    t->callback = callback;
    t->memory = memory;
    timers_.push_back(std::move(t));
    return timers_.back().get();
}

const SoftwareTimer* TimerService::find(const char* name) const {
    for (const auto& t : timers_)
        if (t->name && std::strcmp(t->name, name) == 0)
            return t.get();
    return nullptr;
}

bool TimerService::createTask() {
    if (!queue_) {
        queue_ = std::make_unique<Queue>(scheduler_, configTIMER_QUEUE_LENGTH, sizeof(Message));
        scheduler_.registerQueue(queue_.get(), "TmrQ");
    }
    task_ = scheduler_.createTask(&TimerService::taskBody, "Tmr Svc", configTIMER_TASK_STACK_DEPTH,
                                  this, configTIMER_TASK_PRIORITY, kAllCores);
    return task_ != nullptr;
}

bool TimerService::command(SoftwareTimer* t, std::int32_t id, std::uint32_t value, bool* woken,
                           std::uint32_t ticks) {
    if (!t || !queue_)
        return false;
    Message m{id, value, t, nullptr, nullptr};
    if (id >= kStartFromIsr)
        return queue_->sendFromIsr(&m, false, woken);
    // Before the scheduler runs a command is queued without waiting.
    if (!scheduler_.started())
        ticks = 0;
    return queue_->send(&m, ticks, false);
}

bool TimerService::pendFunctionCall(void (*fn)(void*, std::uint32_t), void* p1, std::uint32_t p2,
                                    bool* woken) {
    if (!queue_)
        return false;
    Message m{kExecuteCallbackFromIsr, p2, nullptr, fn, p1};
    return queue_->sendFromIsr(&m, false, woken);
}

void TimerService::taskBody(void* self) {
    static_cast<TimerService*>(self)->serve();
}

// The service loop: the first expired timer, else wait for a command until the
// next expiry; then every queued command.
void TimerService::serve() {
    for (;;) {
        std::uint64_t now = scheduler_.tick64();
        if (!active_.empty() && active_.front()->expiry <= now) {
            processExpired(now);
        } else {
            std::uint32_t wait = active_.empty()
                                     ? kWaitForever
                                     : static_cast<std::uint32_t>(active_.front()->expiry - now);
            Message m;
            if (queue_->receive(&m, wait))
                handle(m);
        }
        Message m;
        while (queue_->receive(&m, 0))
            handle(m);
    }
}

void TimerService::processExpired(std::uint64_t now) {
    SoftwareTimer* t = active_.front();
    remove(t);
    if (t->autoReload) {
        std::uint64_t next = t->expiry + t->period;
        // A reload that is already due runs again at once.
        while (next <= now && t->period > 0) {
            t->callback(handleOf(t));
            next += t->period;
        }
        insert(t, next);
    } else {
        t->active = false;
    }
    t->callback(handleOf(t));
}

void TimerService::insert(SoftwareTimer* t, std::uint64_t expiry) {
    t->expiry = expiry;
    auto pos = std::find_if(active_.begin(), active_.end(),
                            [expiry](const SoftwareTimer* o) { return o->expiry > expiry; });
    active_.insert(pos, t);
}

void TimerService::remove(SoftwareTimer* t) {
    auto it = std::find(active_.begin(), active_.end(), t);
    if (it != active_.end())
        active_.erase(it);
}

// Starts the timer for `expiry`; a timer whose whole period has already passed
// since the command was sent expires at once.
bool TimerService::startAt(SoftwareTimer* t, std::uint64_t expiry, std::uint64_t commandTick) {
    std::uint64_t now = scheduler_.tick64();
    if (expiry <= now && now - commandTick >= t->period) {
        return true;
    }
    insert(t, expiry);
    return false;
}

void TimerService::handle(const Message& m) {
    if (m.id < 0) {
        if (m.fn)
            m.fn(m.p1, m.value);
        return;
    }
    SoftwareTimer* t = m.timer;
    remove(t);
    // The reference time is a 32-bit tick count; widen it against now.
    std::uint64_t now = scheduler_.tick64();
    std::uint64_t commandTick = (now & ~std::uint64_t{0xFFFFFFFF}) | m.value;
    if (commandTick > now)
        commandTick -= std::uint64_t{1} << 32;
    switch (m.id) {
    case kStart:
    case kStartDontTrace:
    case kReset:
    case kStartFromIsr:
    case kResetFromIsr:
        t->active = true;
        if (startAt(t, commandTick + t->period, commandTick)) {
            if (t->autoReload)
                insert(t, commandTick + 2 * static_cast<std::uint64_t>(t->period));
            else
                t->active = false;
            t->callback(handleOf(t));
        }
        break;
    case kStop:
    case kStopFromIsr:
        t->active = false;
        break;
    case kChangePeriod:
    case kChangePeriodFromIsr:
        t->active = true;
        t->period = m.value;
        insert(t, now + t->period);
        break;
    case kDelete: {
        t->active = false;
        processor_.heap().release(t->memory);
        auto it = std::find_if(timers_.begin(), timers_.end(),
                               [t](const auto& p) { return p.get() == t; });
        if (it != timers_.end())
            timers_.erase(it);
        break;
    }
    default:
        break;
    }
}

} // namespace sim
