// The chip's run loop: the two cores interleaved one instruction at a time,
// waiting cores, idle skips, and the stop of a core that cannot go on.
#include "rp2040/rp2040.h"

#include "arm/format.h"
#include "rp2040/address_map.h"
#include "rp2040/fault_report.h"

#include <algorithm>
#include <cstdio>

namespace sim::rp2040 {

namespace {
constexpr std::uint32_t kIcsr = 0xe000ed04;
constexpr std::uint32_t kIcsrPendingMask = (0x1ffu << 12) | (1u << 26) | (1u << 28);
// A list's item count is its first word; the idle tasks alone fill the
// lowest priority's list with one entry per core.
constexpr std::uint32_t kIdleTasks = 2;

std::string hex(std::uint32_t v) {
    return arm::hex(v, 8);
}
} // namespace

Time Rp2040::localTime() const {
    return std::min(slots_[0].time, slots_[1].time);
}

bool Rp2040::ready(int n) const {
    const Slot& s = slots_[std::size_t(n)];
    if (debugHalted() || s.time < s.haltedUntil)
        return false;
    switch (s.mode) {
    case Mode::Held:
        return false;
    case Mode::Parked:
        return s.mayWake;
    case Mode::Executing:
        break;
    }
    const arm::Core& c = *cores_[std::size_t(n)];
    if (c.state() == arm::Core::State::Stopped)
        return false;
    if (threadHeld(n))
        return s.mayWake;
    return c.running() || s.mayWake;
}

bool Rp2040::threadHeld(int n) const {
    const Slot& s = slots_[std::size_t(n)];
    const arm::Core& c = *cores_[std::size_t(n)];
    return s.time < s.tasksHeldUntil && !c.handlerMode() && !c.primask();
}

Time Rp2040::wakeTime(int n) const {
    // What a core that cannot act now waits for by itself: its SysTick.
    const Slot& s = slots_[std::size_t(n)];
    if (debugHalted() || s.mode != Mode::Executing)
        return kNever;
    const arm::Core& c = *cores_[std::size_t(n)];
    if (c.state() == arm::Core::State::Stopped)
        return kNever;
    if (s.time < s.haltedUntil)
        return s.haltedUntil;
    const std::uint64_t cycles = std::max<std::uint64_t>(c.cyclesToSysTick(), 1);
    const Time cycleStart = s.time / kNsPerCycle * kNsPerCycle;
    // A held core goes on by itself when the hold ends.
    const Time release = threadHeld(n) ? s.tasksHeldUntil : kNever;
    if (cycles >= (kNever - cycleStart) / kNsPerCycle)
        return release;
    return std::min(release, cycleStart + cycles * kNsPerCycle);
}

void Rp2040::advanceIdle(int n, Time to) {
    Slot& s = slots_[std::size_t(n)];
    if (to <= s.time)
        return;
    if (s.mode != Mode::Held && !debugHalted()) {
        // SysTick counts the clock's edges passed on the way.
        arm::Core& c = *cores_[std::size_t(n)];
        const std::uint64_t cycles = to / kNsPerCycle - s.time / kNsPerCycle;
        if (cycles > 0) {
            if (cycles >= c.cyclesToSysTick())
                s.mayWake = true;
            c.tick(cycles);
        }
    }
    s.time = to;
}

// Asked for both cores before every instruction: most code lies outside the
// span of the idle code, decided by one comparison.
inline bool Rp2040::idleAt(int n) const {
    const arm::Core& c = *cores_[std::size_t(n)];
    const std::uint32_t pc = c.pc();
    if (pc - idleLow_ >= idleSpan_)
        return false;
    const Slot& s = slots_[std::size_t(n)];
    if (s.mode != Mode::Executing || !c.running() || c.handlerMode() || c.primask())
        return false;
    for (const auto& [begin, end] : idleCode_) {
        if (pc >= begin && pc < end)
            return true;
    }
    return false;
}

// A core about to execute outside the idle code leaves the kernel state
// bothIdle() read open again; in it, the loop is watched.
inline bool Rp2040::trySkipIdle(int n, bool idle, Time limit) {
    if (!idle) {
        stillIdle_ = false;
        return false;
    }
    return trySkipIdleLoop(n, limit);
}

// Inlined into both run loops: the call and its spills cost as much as a
// simple instruction.
__attribute__((always_inline)) inline void Rp2040::execute(int n) {
    Slot& s = slots_[std::size_t(n)];
    arm::Core& c = *cores_[std::size_t(n)];
    if (threadHeld(n) && !c.exceptionDue()) {
        // Nothing to take: it waits for an interrupt or the hold's end.
        s.mayWake = false;
        changed_ = true;
        return;
    }
    simulation().runnerTime(s.time);
    const Time begin = s.time;
    // A debugger's call waits for the core's idle loop.
    if (callWaiting_ && idleAt(n) && !c.exceptionDue() && calls_.waitingOn(n))
        beginCall(n);
    // An allocation made to fail returns null at once, its code never run.
    if (c.pc() == allocatorEntry_ && !c.exceptionDue() && allocationFaults_.failThisOne()) {
        c.setReg(0, 0);
        c.setPc(c.reg(14));
    }
    if (observer_)
        observer_->beforeStep(n, begin);
    executing_ = n;
    fabric_.beginStep(n, s.time / kNsPerCycle);
    const unsigned cycles = c.step();
    executing_ = -1;
    if (cycles == 0) {
        s.mayWake = false; // still asleep: nothing it waits for has happened
        if (c.state() == arm::Core::State::Stopped)
            reportStop(n, c.stopInfo().reason, c.stopInfo().pc);
        return;
    }
    ++stats_.instructions[n];
    const unsigned total = cycles + s.extraCycles;
    s.extraCycles = 0;
    c.tick(total);
    s.time += Time{total} * kNsPerCycle;
    if (observer_)
        observer_->afterStep(n, begin, s.time);
    if (c.state() == arm::Core::State::Stopped) {
        reportStop(n, c.stopInfo().reason, c.stopInfo().pc);
        return;
    }
    // The usual case, a stack pointer in SRAM, decided here without a call.
    const std::uint32_t sp = c.reg(13);
    if (sp - (addr::kSram + 1) >= addr::kSramSize && s.mode == Mode::Executing && !checkStack(n))
        return;
    if (resetPending_)
        performReset(resetCause_);
}

void Rp2040::runUntil(Time bound) {
    Simulation& sim = simulation();
    while (!sim.stopped()) {
        if (resetPending_)
            performReset(resetCause_);
        const Time limit = std::min(bound, sim.events().nextTime());
        // The core that acts next: the one behind, of those that can act
        // now or wake by themselves (core 0 on a tie).
        int next = -1;
        Time at = kNever;
        for (int n = 0; n < 2; ++n) {
            const Time t = ready(n) ? slots_[std::size_t(n)].time : wakeTime(n);
            if (t < at) {
                next = n;
                at = t;
            }
        }
        if (next < 0 || at >= limit) {
            for (int n = 0; n < 2; ++n)
                advanceIdle(n, limit);
            break;
        }
        // A waiting core keeps pace with the one acting, so that whatever
        // wakes it finds it at the waker's time.
        for (int n = 0; n < 2; ++n) {
            if (n != next && !ready(n))
                advanceIdle(n, at);
        }
        if (!ready(next)) {
            advanceIdle(next, at); // its SysTick wraps now
            continue;
        }
        if (slots_[std::size_t(next)].mode == Mode::Parked) {
            stepLauncher();
            continue;
        }
        if (ready(1 - next) && slots_[std::size_t(1 - next)].mode == Mode::Executing &&
            cores_[0]->running() && cores_[1]->running()) {
            runBoth(bound);
            for (auto& c : cores_)
                c->setArbitration(false);
        } else
            runCore(next, bound);
    }
}

// Core N steps for as long as it stays behind the other (or level with it,
// for core 0). Each core has its own copy, its slot and core at fixed places.
// False: runBoth is done.
template <int N>
__attribute__((always_inline)) inline bool Rp2040::runBehind(Time bound) {
    Simulation& sim = simulation();
    Slot& s = slots_[N];
    const Slot& other = slots_[1 - N];
    const arm::Core& c = *cores_[N];
    for (;;) {
        const Time limit = std::min(bound, sim.events().nextTime());
        if (s.time >= limit)
            return false;
        const bool idle = idleAt(N);
        const bool otherIdle = idleAt(1 - N);
        if (idleSkip_ && trySkipIdle(N, idle, limit))
            return true; // the times moved: who is behind is open again
        // Only while both execute can their SRAM accesses meet; not while
        // both go round the idle loops, whose periods an idle skip jumps by
        // as each core measured its own.
        cores_[N]->setArbitration(!(idle && otherIdle));
        execute(N);
        if (changed_ || resetPending_ || sim.stopped() || s.mode != Mode::Executing || !c.running())
            return false;
        if (N == 0 ? s.time > other.time : s.time >= other.time)
            return true;
    }
}

// Both cores executing: the one behind steps (core 0 on a tie), for as long
// as both keep running. Their SRAM accesses are arbitrated.
void Rp2040::runBoth(Time bound) {
    changed_ = false;
    for (;;) {
        const bool more =
            slots_[0].time <= slots_[1].time ? runBehind<0>(bound) : runBehind<1>(bound);
        if (!more)
            return;
    }
}

void Rp2040::wake(int n) {
    // Woken by the core that executes: it goes on from that core's time.
    if (executing_ >= 0 && executing_ != n && !ready(n))
        advanceIdle(n, slots_[std::size_t(executing_)].time);
    slots_[std::size_t(n)].mayWake = true;
    changed_ = true;
    stillIdle_ = false;
}

// Core n executes for as long as it stays the core to act: behind the other
// (or level with it, for core 0), before the world's next event, and until
// something wakes the other core.
void Rp2040::runCore(int n, Time bound) {
    Simulation& sim = simulation();
    Slot& s = slots_[std::size_t(n)];
    const arm::Core& c = *cores_[std::size_t(n)];
    const int other = 1 - n;
    const Time otherAt = ready(other) ? slots_[std::size_t(other)].time : wakeTime(other);
    const Time until = (n == 0 && otherAt != kNever) ? otherAt + 1 : otherAt;
    changed_ = false;
    for (;;) {
        const Time limit = std::min(bound, sim.events().nextTime());
        if (idleSkip_ && trySkipIdle(n, idleAt(n), limit))
            return;
        execute(n);
        if (changed_ || resetPending_ || sim.stopped() || s.mode != Mode::Executing ||
            !c.running() || s.time >= until || s.time >= std::min(bound, sim.events().nextTime()))
            return;
    }
}

void Rp2040::stepLauncher() {
    Slot& s = slots_[1];
    arm::Core& c = *cores_[1];
    simulation().runnerTime(s.time);
    const Core1Launch::Result r = launch_.advance(sio_.mailboxes(), [this] {
        cores_[0]->signalEvent();
        wake(0);
    });
    stillIdle_ = false;
    if (r == Core1Launch::Result::Waiting) {
        s.mayWake = false;
        return;
    }
    c.tick(Core1Launch::kStepCycles);
    s.time += Time{Core1Launch::kStepCycles} * kNsPerCycle;
    if (r != Core1Launch::Result::Launched)
        return;
    const Core1Launch::Target& t = launch_.target();
    s.mode = Mode::Executing;
    s.mayWake = true;
    c.setVtor(t.vtor);
    c.setMsp(t.sp);
    // Should the entry return, the ROM lets the core sleep for good.
    c.setReg(14, Bootrom::parkingLoop() | 1);
    if (!(t.entry & 1)) {
        c.setPc(t.entry);
        c.stop("launched at " + hex(t.entry) + " without the Thumb bit (a HardFault on silicon)");
        reportStop(1, c.stopInfo().reason, t.entry & ~1u);
        return;
    }
    c.setPc(t.entry);
    trace("core 1 launched at " +
          describeAddress([this](std::uint32_t a) { return describe(a); }, t.entry & ~1u));
}

bool Rp2040::checkStack(int n) {
    arm::Core& c = *cores_[std::size_t(n)];
    const std::uint32_t sp = c.reg(13);
    const bool inSram = sp > addr::kSram && sp <= addr::kSram + addr::kSramSize;
    const bool inXipRam =
        sp > addr::kXipCacheRam && sp <= addr::kXipCacheRam + addr::kXipCacheRamSize;
    if (inSram || inXipRam)
        return true;
    c.stop("stack pointer " + hex(sp) + " left SRAM");
    reportStop(n, c.stopInfo().reason, c.pc());
    return false;
}

// --- idle -----------------------------------------------------------------------------

bool Rp2040::bothIdle() {
    // Cores asleep, parked or held wait for something to change; the others
    // must be in the idle loop, with nothing pending, and no debugger's call
    // waiting for it.
    if (callWaiting_)
        return false;
    for (int n = 0; n < 2; ++n) {
        if (ready(n) && !idleAt(n))
            return false;
    }
    for (int n = 0; n < 2; ++n) {
        if (!ready(n))
            continue;
        arm::Core& c = *cores_[std::size_t(n)];
        if ((c.irqPending() | c.irqLines()) & c.irqEnabled())
            return false;
        std::uint32_t icsr = 0;
        if (c.read(kIcsr, 4, icsr) && (icsr & kIcsrPendingMask))
            return false;
    }
    if (stillIdle_)
        return true;
    // The kernel state the idle loop reads: a task waiting to be cleaned up,
    // or another task of the idle priority ready, would make it act. Only
    // code outside the idle loop changes it.
    std::uint32_t word = 0;
    if (deletedWaitingAt_ && (!readMemory(deletedWaitingAt_, &word, 4) || word != 0))
        return false;
    if (readyListsAt_ && (!readMemory(readyListsAt_, &word, 4) || word > kIdleTasks))
        return false;
    stillIdle_ = true;
    return true;
}

// Both cores idle: each is asleep, waiting in the ROM, or going round the
// kernel's idle loop with no interrupt pending. That loop only reads kernel
// state (tasks to clean up, idle-priority tasks ready) that nothing but an
// interrupt or the other core changes, and neither can happen before the
// next event of the world or the next SysTick wrap. A loop seen to repeat
// exactly (IdleLoop) is jumped ahead by whole periods, to within a period
// of that moment; the rest is executed. The core is then where it would
// have been, to the cycle: nothing, not even the latency of the interrupt
// that ends the idling, tells the jump from the execution.
bool Rp2040::trySkipIdleLoop(int n, Time limit) {
    // Looked at as the core passes its mark, and wherever the loop is known
    // to repeat, while a whole period fits before the limit.
    IdleLoop& loop = idleLoops_[std::size_t(n)];
    const Time t = slots_[std::size_t(n)].time;
    const bool atMark = loop.observe(*cores_[std::size_t(n)], t);
    if (!atMark && !loop.steady(t))
        return false;
    if (loop.period() == 0 || limit - t < loop.period())
        return false;
    return bothIdle() && skipIdle(limit);
}

bool Rp2040::skipIdle(Time limit) {
    Time target = limit;
    for (int n = 0; n < 2; ++n)
        target = std::min(target, wakeTime(n));
    std::array<std::uint64_t, 2> periods{};
    for (int n = 0; n < 2; ++n) {
        if (!ready(n))
            continue; // waiting: follows the one that acts
        const Slot& s = slots_[std::size_t(n)];
        const IdleLoop& loop = idleLoops_[std::size_t(n)];
        if (!loop.steady(s.time) || target <= s.time)
            return false;
        periods[std::size_t(n)] = (target - s.time) / loop.period();
    }
    bool jumped = false;
    for (int n = 0; n < 2; ++n) {
        if (periods[std::size_t(n)] == 0)
            continue;
        Slot& s = slots_[std::size_t(n)];
        IdleLoop& loop = idleLoops_[std::size_t(n)];
        const Time by = periods[std::size_t(n)] * loop.period();
        cores_[std::size_t(n)]->tick(by / kNsPerCycle);
        s.time += by;
        loop.jumped(by);
        stats_.idleSkipped[n] += by;
        jumped = true;
    }
    if (jumped)
        ++stats_.idleSkips;
    return jumped;
}

void Rp2040::reportStop(int n, const std::string& reason, std::uint32_t pc) {
    FaultReport r;
    r.chip = name();
    r.core = n;
    r.reason = reason;
    // The fabric's word on the access the core failed on.
    if (!fabric_.lastError().empty() &&
        (reason.find("bus error") != std::string::npos ||
         reason.find(arm::hex(fabric_.lastErrorAddress())) != std::string::npos))
        r.reason += " (" + fabric_.lastError() + ")";
    r.pc = pc;
    r.task = rtos_.currentTask(n);
    r.recentPcs = cores_[std::size_t(n)]->recentPcs();
    simulation().stop(r.text([this](std::uint32_t a) { return describe(a); },
                             [this](std::uint32_t a, void* out, std::uint32_t size) {
                                 return readMemory(a, out, size);
                             }));
}

} // namespace sim::rp2040
