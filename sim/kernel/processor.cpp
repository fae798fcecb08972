#include "processor.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace sim {

namespace {
Processor* g_executing = nullptr;
constexpr Time kTickPeriod = milliseconds(1);
} // namespace

// The execution context of interrupt handlers on one core: the core's
// exception stack. Handlers run to completion unless they busy-wait.
struct Processor::IsrContext {
    Processor* processor;
    int core;
};

Processor::Processor(Simulation& sim, std::string name)
    : sim_(sim), name_(std::move(name)), scheduler_(std::make_unique<Scheduler>(*this)) {
    priorities_.fill(kDefaultIrqPriority);
    sim_.attach(*this);
    wakeEvent_.set([this] {
        while (!wakeTimes_.empty() && wakeTimes_.front() <= now()) {
            std::pop_heap(wakeTimes_.begin(), wakeTimes_.end(), std::greater<Time>());
            wakeTimes_.pop_back();
        }
        if (!wakeTimes_.empty())
            sim_.schedule(wakeEvent_, wakeTimes_.front());
    });
    tickEvent_.set([this] {
        if (!debugHalt_)
            tickPending_ = true;
        sim_.scheduleIn(tickEvent_, kTickPeriod);
    });
}

Processor::~Processor() {
    sim_.detach(*this);
    if (g_executing == this)
        g_executing = nullptr;
    // Tasks and handlers are dropped without running on.
    scheduler_.reset();
    bootCo_.reset();
    for (auto& co : isrCo_)
        co.reset();
}

Processor& Processor::current() {
    if (!g_executing) {
        std::fprintf(stderr, "simulation: an SDK or RTOS function was called outside any chip\n");
        std::abort();
    }
    return *g_executing;
}

Processor* Processor::currentOrNull() {
    return g_executing;
}

void Processor::trace(const std::string& what) {
    if (sim_.tracing())
        sim_.trace(name_ + ": " + what);
}

std::string Processor::contextName() const {
    int core = currentCore_;
    if (core < 0)
        return "outside the chip";
    if (inIsr_[core])
        return "interrupt " + std::to_string(isrIrq_[core]) + " on core " + std::to_string(core);
    if (booting_ && core == 0)
        return "main on core 0";
    if (const Task* t = scheduler_ ? scheduler_->running(core) : nullptr)
        return std::string("task \"") + t->name + "\" on core " + std::to_string(core);
    return "core " + std::to_string(core);
}

// --- power and reset -------------------------------------------------------

void Processor::powerOn() {
    if (powered_)
        return;
    powered_ = true;
    boot();
}

void Processor::boot() {
    history_.booted(now());
    halted_ = false;
    if (beforeBoot_)
        beforeBoot_();
    booting_ = true;
    bootBusyUntil_ = 0;
    bootCo_ = std::make_unique<Coroutine>(&Processor::bootEntry, this);
    trace("boot");
}

void Processor::bootEntry(void* arg) {
    auto* self = static_cast<Processor*>(arg);
    int rc = self->entry_ ? self->entry_() : 0;
    // main returned: the SDK's exit stops the chip here.
    self->booting_ = false;
    self->halted_ = true;
    self->trace("main returned " + std::to_string(rc));
}

void Processor::reset(const std::string& cause) {
    resetPending_ = true;
    resetCause_ = cause;
    if (Coroutine::running() && g_executing == this)
        leaveContext(); // the reset takes everything; this context never resumes
}

void Processor::performReset() {
    resetPending_ = false;
    trace("reset: " + resetCause_);
    history_.reset(now(), resetCause_);
    scheduler_.reset();
    bootCo_.reset();
    for (auto& co : isrCo_)
        co.reset();
    heap_.wipe();
    sim_.events().cancel(tickEvent_);
    tickPending_ = false;
    inIsr_.fill(false);
    isrBusyUntil_.fill(0);
    spinningOn_.fill(-1);
    for (auto& irq : irqs_) {
        Time latency = irq.latency;
        irq = CoreInterrupts{};
        irq.latency = latency; // injected by the test bench, not chip state
    }
    handlers_.fill(nullptr);
    priorities_.fill(kDefaultIrqPriority);
    lines_.fill(0);
    spinLocks_.fill(SpinLock{});
    heldLocks_.fill(0);
    portCritical.fill(PortCritical{});
    resetPeripherals();
    scheduler_ = std::make_unique<Scheduler>(*this);
    boot();
}

void Processor::setDebugHalt(bool halted) {
    debugHalt_ = halted;
    trace(halted ? "debug halt" : "debug resume");
}

// --- execution ---------------------------------------------------------------

void Processor::wakeAt(Time t) {
    wakeTimes_.push_back(t);
    std::push_heap(wakeTimes_.begin(), wakeTimes_.end(), std::greater<Time>());
    if (!wakeEvent_.scheduled() || wakeEvent_.when() > wakeTimes_.front())
        sim_.schedule(wakeEvent_, wakeTimes_.front());
}

bool Processor::step() {
    if (!powered_)
        return false;
    g_executing = this;
    // A reset is the hardware's doing; a debugger halt does not hold it off.
    if (resetPending_) {
        performReset();
        return true;
    }
    if (halted_ || debugHalt_)
        return false;
    bool ran = false;
    // Both cores run at once on the chip; which of them the model lets go
    // first is a choice the perturbation makes.
    const int first = sim_.perturbation() ? sim_.perturbation()->firstCore() : 0;
    for (int i = 0; i < kCores && !sim_.stopped() && !resetPending_ && !halted_; ++i)
        ran |= stepCore((first + i) % kCores);
    currentCore_ = -1;
    return ran || resetPending_;
}

bool Processor::spinBlocked(int core) const {
    int n = spinningOn_[core];
    return n >= 0 && spinLocks_[static_cast<unsigned>(n)].locked;
}

bool Processor::stepCore(int core) {
    currentCore_ = core;
    // A handler in progress owns the core until it returns.
    if (inIsr_[core]) {
        if (isrBusyUntil_[core] > now() || spinBlocked(core))
            return false;
        resumeIsr(core);
        return true;
    }
    const bool canInterrupt = !irqs_[core].masked && !spinBlocked(core);
    Scheduler& s = *scheduler_;
    if (!s.started()) {
        // Before the scheduler runs, only core 0 runs: main.
        if (core != 0 || !booting_ || !bootCo_)
            return false;
        if (canInterrupt) {
            int irq = deliverableIrq(core);
            if (irq >= 0) {
                startIsr(core, static_cast<unsigned>(irq));
                return true;
            }
        }
        if (bootBusyUntil_ > now() || spinBlocked(core))
            return false;
        if (sim_.countResume()) {
            sim_.stopLivelock("main");
            return false;
        }
        bootCo_->resume();
        if (s.started()) {
            booting_ = false;
            sim_.schedule(tickEvent_, s.startedAt() + kTickPeriod);
        }
        return true;
    }
    if (canInterrupt) {
        if (core == 0 && tickPending_) {
            tickPending_ = false;
            s.tick();
            return true;
        }
        int irq = deliverableIrq(core);
        if (irq >= 0) {
            startIsr(core, static_cast<unsigned>(irq));
            return true;
        }
    }
    // The context switch itself is an interrupt (PendSV): masked, it waits.
    if (s.switchPending(core) && !irqs_[core].masked)
        s.select(core);
    Task* t = s.running(core);
    if (t && t == s.idleTask(0) && s.tasksWaitingCleanUp() > 0) {
        s.idleTurn();
        return true;
    }
    if (!t || t->idle || t->busyUntil > now() || spinBlocked(core) ||
        (tasksHeld(core) && !irqs_[core].masked))
        return false;
    if (sim_.countResume()) {
        sim_.stopLivelock(t->name);
        return false;
    }
    t->coroutine->resume();
    if (t->state == TaskState::Deleted)
        s.retire(t);
    return true;
}

void Processor::leaveContext() {
    Coroutine::suspend();
}

void Processor::preemptionPoint() {
    if (!Coroutine::running() || g_executing != this)
        return;
    if (Perturbation* p = sim_.perturbation())
        perturb(p->atCall());
    int core = currentCore_;
    if (core < 0 || inIsr_[core] || irqs_[core].masked)
        return;
    bool attention = resetPending_ || deliverableIrq(core) >= 0;
    if (scheduler_->started()) {
        attention = attention || tasksHeld(core);
        if (!booting_) {
            attention = attention || scheduler_->switchPending(core) || (core == 0 && tickPending_);
        }
        int other = 1 - core;
        attention = attention || scheduler_->switchPending(other) ||
                    (!irqs_[other].masked && !inIsr_[other] && deliverableIrq(other) >= 0);
    }
    if (attention)
        leaveContext();
}

void Processor::holdTasks(int core, Time duration) {
    tasksHeldUntil_[core] = std::max(tasksHeldUntil_[core], now() + duration);
    wakeAt(tasksHeldUntil_[core]);
}

void Processor::perturbationPoint() {
    Perturbation* p = sim_.perturbation();
    if (p && Coroutine::running() && g_executing == this)
        perturb(p->atBoundary());
}

// The executing context spends `cost` on its own code, and when held off
// lets everything else at this instant run first, then waits `extra`.
void Processor::perturb(const Perturbation::AtCall& at) {
    if (resetPending_ || halted_ || currentCore_ < 0)
        return;
    if (at.holdOff)
        leaveContext();
    const Time wait = at.cost + at.extra;
    if (wait > 0 && !resetPending_)
        busyWaitUntil(now() + wait);
}

void Processor::poll() {
    if (Coroutine::running() && g_executing == this)
        leaveContext();
}

void Processor::busyWaitUntil(Time t) {
    if (!Coroutine::running() || g_executing != this) {
        failSoft("busy-wait outside any context of the chip");
        return;
    }
    while (now() < t && !sim_.stopped()) {
        int core = currentCore_;
        if (inIsr_[core])
            isrBusyUntil_[core] = t;
        else if (booting_ && core == 0)
            bootBusyUntil_ = t;
        else if (Task* task = scheduler_->running(core))
            task->busyUntil = t;
        wakeAt(t);
        leaveContext();
    }
    int core = currentCore_;
    if (core >= 0) {
        if (inIsr_[core])
            isrBusyUntil_[core] = 0;
        else if (booting_ && core == 0)
            bootBusyUntil_ = 0;
        else if (Task* task = scheduler_->running(core))
            task->busyUntil = 0;
    }
}

void Processor::fail(const std::string& message) {
    halted_ = true;
    sim_.stop(name_ + ": " + contextName() + ": " + message);
    if (Coroutine::running()) {
        for (;;)
            Coroutine::suspend();
    }
    std::fprintf(stderr, "%s\n", sim_.error().c_str());
    std::abort();
}

void Processor::failSoft(const std::string& message) {
    halted_ = true;
    sim_.stop(name_ + ": " + contextName() + ": " + message);
}

// --- interrupts ----------------------------------------------------------------

void Processor::setIrqHandler(unsigned irq, IrqHandler handler) {
    if (irq < kIrqCount)
        handlers_[irq] = handler;
}

IrqHandler Processor::irqHandler(unsigned irq) const {
    return irq < kIrqCount ? handlers_[irq] : nullptr;
}

void Processor::setIrqEnabled(int core, unsigned irq, bool enabled) {
    if (irq >= kIrqCount || core < 0 || core >= kCores)
        return;
    if (enabled)
        irqs_[core].enabled |= 1u << irq;
    else
        irqs_[core].enabled &= ~(1u << irq);
}

bool Processor::irqEnabled(int core, unsigned irq) const {
    return irq < kIrqCount && ((irqs_[core].enabled >> irq) & 1u);
}

void Processor::setIrqPriority(unsigned irq, std::uint8_t priority) {
    if (irq < kIrqCount)
        priorities_[irq] = priority;
}

void Processor::setIrqLine(unsigned irq, bool level) {
    for (int core = 0; core < kCores; ++core)
        setIrqLine(core, irq, level);
}

void Processor::setIrqLine(int core, unsigned irq, bool level) {
    if (irq >= kIrqCount || core < 0 || core >= kCores)
        return;
    const std::uint32_t bit = 1u << irq;
    const bool was = (lines_[core] & bit) != 0;
    if (level == was)
        return;
    if (level) {
        lines_[core] |= bit;
        irqs_[core].raisedAt[irq] = now();
        irqs_[core].jitter[irq] = sim_.perturbation() ? sim_.perturbation()->irqJitter() : 0;
        const Time delay = irqs_[core].latency + irqs_[core].jitter[irq];
        if (delay > 0)
            wakeAt(now() + delay);
    } else {
        lines_[core] &= ~bit;
    }
}

int Processor::deliverableIrq(int core) const {
    std::uint32_t pending = lines_[core] & irqs_[core].enabled;
    int best = -1;
    while (pending) {
        int irq = __builtin_ctz(pending);
        pending &= pending - 1;
        if (now() < irqs_[core].raisedAt[irq] + irqs_[core].latency + irqs_[core].jitter[irq])
            continue;
        if (best < 0 || priorities_[irq] < priorities_[best])
            best = irq;
    }
    return best;
}

void Processor::startIsr(int core, unsigned irq) {
    if (!handlers_[irq]) {
        failSoft("interrupt " + std::to_string(irq) + " taken with no handler installed");
        return;
    }
    inIsr_[core] = true;
    isrIrq_[core] = irq;
    isrDone_[core] = false;
    isrEntryMask_[core] = irqs_[core].masked;
    if (!isrCo_[core]) {
        isrArgs_[core] = std::make_unique<IsrContext>(IsrContext{this, core});
        isrCo_[core] = std::make_unique<Coroutine>(&Processor::isrEntry, isrArgs_[core].get());
    }
    if (sim_.tracing())
        trace("core " + std::to_string(core) + " enters interrupt " + std::to_string(irq));
    resumeIsr(core);
}

void Processor::resumeIsr(int core) {
    if (sim_.countResume()) {
        sim_.stopLivelock(contextName());
        return;
    }
    isrCo_[core]->resume();
    if (isrDone_[core]) {
        inIsr_[core] = false;
        irqs_[core].masked = isrEntryMask_[core];
    }
}

void Processor::isrEntry(void* arg) {
    auto* ctx = static_cast<IsrContext*>(arg);
    Processor* self = ctx->processor;
    const int core = ctx->core;
    for (;;) {
        self->handlers_[self->isrIrq_[core]]();
        self->isrDone_[core] = true;
        Coroutine::suspend();
    }
}

std::uint32_t Processor::saveAndDisableInterrupts() {
    int core = currentCore_ < 0 ? 0 : currentCore_;
    std::uint32_t saved = irqs_[core].masked ? 1u : 0u;
    irqs_[core].masked = true;
    return saved;
}

void Processor::restoreInterrupts(std::uint32_t saved) {
    int core = currentCore_ < 0 ? 0 : currentCore_;
    irqs_[core].masked = (saved & 1u) != 0;
}

// --- spin locks ----------------------------------------------------------------

void Processor::spinLockAcquire(unsigned n) {
    SpinLock& lock = spinLocks_.at(n);
    int core = currentCore_ < 0 ? 0 : currentCore_;
    if (lock.locked && lock.ownerCore == core)
        fail("spin lock " + std::to_string(n) + " taken twice on core " + std::to_string(core));
    while (lock.locked) {
        spinningOn_[core] = static_cast<int>(n);
        leaveContext();
        core = currentCore_;
    }
    spinningOn_[core] = -1;
    lock.locked = true;
    lock.ownerCore = core;
    ++heldLocks_[core];
}

void Processor::spinLockRelease(unsigned n) {
    SpinLock& lock = spinLocks_.at(n);
    if (!lock.locked)
        return;
    if (lock.ownerCore >= 0 && heldLocks_[lock.ownerCore] > 0)
        --heldLocks_[lock.ownerCore];
    lock.locked = false;
    lock.ownerCore = -1;
}

bool Processor::holdsSpinLock(int core) const {
    return core >= 0 && core < kCores && heldLocks_[core] > 0;
}

int Processor::claimUnusedSpinLock(bool required) {
    // The SDK hands out the locks from 24 up; the lower ones have fixed users.
    for (unsigned n = 24; n < kSpinLockCount; ++n) {
        if (!spinLocks_[n].claimed) {
            spinLocks_[n].claimed = true;
            return static_cast<int>(n);
        }
    }
    if (required)
        fail("No spin locks are available");
    return -1;
}

} // namespace sim
