// One RP2040 as the firmware sees it from the inside: two cores, their
// interrupt controllers, the 32 hardware spin locks, and the RTOS scheduler
// that runs on them. Peripherals live in sim/chip and talk to it through
// interrupt lines, busy-waits and preemption points.
#pragma once

#include "engine/coroutine.h"
#include "engine/event_queue.h"
#include "heap.h"
#include "scheduler.h"
#include "engine/reset_history.h"
#include "engine/simulation.h"
#include "engine/time.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

constexpr int kCores = 2;
constexpr unsigned kIrqCount = 32;
constexpr unsigned kSpinLockCount = 32;
constexpr std::uint8_t kDefaultIrqPriority = 0x80;

using IrqHandler = void (*)();

// A hardware spin lock: taken by a core, not by a task. Taking one that the
// same core already holds would hang a real chip.
struct SpinLock {
    bool locked = false;
    int ownerCore = -1;
    bool claimed = false;
};

// The nested vectored interrupt controller of one core: enables are per core,
// the lines come from the peripherals and are shared.
struct CoreInterrupts {
    std::uint32_t enabled = 0;
    bool masked = false; // PRIMASK
    Time latency = 0;    // injected delay from line to handler entry
    std::array<Time, kIrqCount> raisedAt{};
    std::array<Time, kIrqCount> jitter{}; // perturbed runs: drawn at each rise
};

class Processor : public InstantRunner {
public:
    Processor(Simulation& sim, std::string name);
    virtual ~Processor();
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    // The processor whose code is executing now; fails the run when none is.
    static Processor& current();
    static Processor* currentOrNull();

    const std::string& name() const { return name_; }
    Simulation& simulation() { return sim_; }
    Time now() const { return sim_.now(); }
    // Time since this chip last came out of reset (its own timer).
    Time sinceReset() const { return sim_.now() - history_.bootedAt(); }

    // --- power and reset -------------------------------------------------
    // What runs at power-on and after every reset on core 0: the image's main.
    using Entry = std::function<int()>;
    void setEntry(Entry entry) { entry_ = std::move(entry); }
    virtual void powerOn();
    // Resets the whole chip (every task gone, main again). From firmware
    // context the reset happens as soon as the caller's context is left.
    virtual void reset(const std::string& cause);
    // Called before main runs again after a reset, so that the owner can give
    // the firmware fresh static data.
    void setBeforeBoot(std::function<void()> hook) { beforeBoot_ = std::move(hook); }
    unsigned resets() const { return history_.count(); }
    virtual bool running() const { return powered_ && !halted_; }

    // A debugger halt of both cores: nothing on the chip runs while halted.
    virtual void setDebugHalt(bool halted);
    bool debugHalted() const { return debugHalt_; }

    // --- execution -----------------------------------------------------------
    // Runs everything that can run at the current instant. Returns true if any
    // context ran.
    bool step() override;
    int currentCore() const { return currentCore_; }
    bool inInterrupt() const { return currentCore_ >= 0 && inIsr_[currentCore_]; }
    bool inBoot() const { return currentCore_ == 0 && booting_; }
    // The name of the executing context, for messages.
    std::string contextName() const;

    // A point where the executing context may be preempted: at every RTOS
    // and SDK call.
    void preemptionPoint();
    // A critical-section boundary: in a perturbed run the context may be
    // held off there; otherwise nothing happens.
    void perturbationPoint();
    // A polling loop's turn (tight_loop_contents and the like): lets every
    // other context run before this one continues.
    void poll();
    // Busy-waits the executing context until the given time of the world.
    void busyWaitUntil(Time t);
    void busyWaitFor(Time d) { busyWaitUntil(now() + d); }

    // Stops the simulation with a message naming the executing context.
    [[noreturn]] void fail(const std::string& message);
    void failSoft(const std::string& message); // from the run loop's own stack

    // --- interrupts --------------------------------------------------------------
    void setIrqHandler(unsigned irq, IrqHandler handler);
    IrqHandler irqHandler(unsigned irq) const;
    void setIrqEnabled(int core, unsigned irq, bool enabled);
    bool irqEnabled(int core, unsigned irq) const;
    void setIrqPriority(unsigned irq, std::uint8_t priority);
    // A peripheral's interrupt output. Level-sensitive, as on the chip.
    void setIrqLine(unsigned irq, bool level);
    // An output that a peripheral drives per core (IO bank 0 has one per core).
    virtual void setIrqLine(int core, unsigned irq, bool level);
    bool irqLine(unsigned irq) const { return ((lines_[0] | lines_[1]) >> irq) & 1u; }
    // A fault to inject: every interrupt line that rises is taken on `core`
    // only `latency` later (if it is still high then).
    void setIrqLatency(int core, Time latency) { irqs_[core].latency = latency; }
    Time irqLatency(int core) const { return irqs_[core].latency; }

    // --- faults a test injects -------------------------------------------------------
    // For `duration` from now, no task runs on `core`, as if a context above
    // every task kept it busy: its interrupts are still taken, and a task
    // inside a critical section leaves it before the hold begins.
    virtual void holdTasks(int core, Time duration);
    bool tasksHeld(int core) const { return now() < tasksHeldUntil_[core]; }

    // PRIMASK of the executing core.
    std::uint32_t saveAndDisableInterrupts();
    void restoreInterrupts(std::uint32_t saved);
    bool interruptsMasked(int core) const { return irqs_[core].masked; }

    // --- spin locks ----------------------------------------------------------------
    SpinLock& spinLock(unsigned n) { return spinLocks_.at(n); }
    void spinLockAcquire(unsigned n);
    void spinLockRelease(unsigned n);
    bool holdsSpinLock(int core) const;
    int claimUnusedSpinLock(bool required);

    // --- the RTOS ----------------------------------------------------------------
    Scheduler& scheduler() { return *scheduler_; }
    const Scheduler& scheduler() const { return *scheduler_; }
    // The port's own critical-section nesting per core. Leaving the outer
    // section enables interrupts whatever they were before, as the kernel's
    // exit does; nothing is saved.
    struct PortCritical {
        unsigned nesting = 0;
    };
    std::array<PortCritical, kCores> portCritical{};
    Heap& heap() { return heap_; }

    void trace(const std::string& what);
    // Makes the run loop look at this chip again at time t.
    void wakeAt(Time t);

    using ResetRecord = sim::ResetRecord;
    const std::vector<ResetRecord>& resetLog() const { return history_.log(); }
    const ResetHistory& history() const { return history_; }

protected:
    // Peripherals reset with the chip.
    virtual void resetPeripherals() {}

private:
    friend class Scheduler;
    struct IsrContext;

    void boot();
    void performReset();
    void leaveContext(); // suspends the executing coroutine
    void perturb(const Perturbation::AtCall& at);
    bool stepCore(int core);
    bool spinBlocked(int core) const;
    int deliverableIrq(int core) const;
    void startIsr(int core, unsigned irq);
    void resumeIsr(int core);
    static void isrEntry(void* arg);
    static void bootEntry(void* arg);

    Simulation& sim_;
    std::string name_;
    Entry entry_;
    std::function<void()> beforeBoot_;
    std::unique_ptr<Scheduler> scheduler_;
    Heap heap_;

    bool powered_ = false;
    bool halted_ = false; // stopped for good (main returned, or a failure)
    bool debugHalt_ = false;
    bool resetPending_ = false;
    std::string resetCause_;
    ResetHistory history_;

    int currentCore_ = -1;
    bool booting_ = false;
    Time bootBusyUntil_ = 0;
    std::unique_ptr<Coroutine> bootCo_;
    bool tickPending_ = false;
    CallbackEvent tickEvent_;

    std::array<bool, kCores> inIsr_{};
    std::array<std::unique_ptr<Coroutine>, kCores> isrCo_;
    std::array<std::unique_ptr<IsrContext>, kCores> isrArgs_;
    std::array<unsigned, kCores> isrIrq_{};
    std::array<bool, kCores> isrDone_{};
    std::array<Time, kCores> isrBusyUntil_{};
    std::array<int, kCores> spinningOn_{{-1, -1}};
    std::array<bool, kCores> isrEntryMask_{};
    std::array<unsigned, kCores> heldLocks_{};
    std::array<Time, kCores> tasksHeldUntil_{};

    std::array<IrqHandler, kIrqCount> handlers_{};
    std::array<std::uint8_t, kIrqCount> priorities_{};
    std::array<std::uint32_t, kCores> lines_{};
    std::array<CoreInterrupts, kCores> irqs_{};
    std::array<SpinLock, kSpinLockCount> spinLocks_{};

    CallbackEvent wakeEvent_;
    std::vector<Time> wakeTimes_; // a min-heap
};

} // namespace sim
