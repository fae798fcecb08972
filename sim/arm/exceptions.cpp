// The exception model of ARMv6-M: pending and active state per exception,
// the execution priority, entry with its eight-word frame, return through
// EXC_RETURN with tail-chaining, and the sleep states that wait for them.
#include "arm/core.h"
#include "arm/cycles.h"
#include "arm/format.h"

namespace sim::arm {

namespace {

constexpr std::uint32_t kSevOnPend = 1u << 4;
constexpr std::uint32_t kSleepOnExit = 1u << 1;
constexpr std::uint32_t kFrameRealigned = 1u << 9;
constexpr std::uint32_t kThumbBit = 1u << 24;

// Only the top two bits of a priority byte exist on this core.
int level(std::uint8_t priority) {
    return priority >> 6;
}

} // namespace

int Core::priorityOf(unsigned number) const {
    switch (number) {
    case exc::kNmi:
        return -2;
    case exc::kHardFault:
        return -1;
    case exc::kSvCall:
        return level(svcPriority_);
    case exc::kPendSv:
        return level(pendSvPriority_);
    case exc::kSysTick:
        return level(sysTickPriority_);
    default:
        return number >= exc::kFirstExternal && number < exc::kFirstExternal + 32
                   ? level(irqPriority_[number - exc::kFirstExternal])
                   : kNoPriority;
    }
}

int Core::executionPriority(bool withPrimask) const {
    int priority = kNoPriority;
    for (std::uint32_t bits = sysActive_; bits != 0; bits &= bits - 1) {
        priority = std::min(priority, priorityOf(static_cast<unsigned>(__builtin_ctz(bits))));
    }
    for (std::uint32_t bits = nvicActive_; bits != 0; bits &= bits - 1) {
        priority = std::min(
            priority, priorityOf(exc::kFirstExternal + static_cast<unsigned>(__builtin_ctz(bits))));
    }
    // PRIMASK boosts the priority to 0: only NMI (and faults) get through.
    if (withPrimask && primask_ && priority > 0) {
        priority = 0;
    }
    return priority;
}

Core::Candidate Core::bestPending() const {
    // Ascending numbers with a strict comparison: equal priorities go to the
    // lower exception number.
    Candidate best;
    for (std::uint32_t bits = sysPending_; bits != 0; bits &= bits - 1) {
        const auto number = static_cast<unsigned>(__builtin_ctz(bits));
        const int priority = priorityOf(number);
        if (priority < best.priority || best.number == 0) {
            best = Candidate{number, priority};
        }
    }
    for (std::uint32_t bits = nvicPending_ & nvicEnabled_; bits != 0; bits &= bits - 1) {
        const unsigned number = exc::kFirstExternal + static_cast<unsigned>(__builtin_ctz(bits));
        const int priority = priorityOf(number);
        if (priority < best.priority || best.number == 0) {
            best = Candidate{number, priority};
        }
    }
    return best;
}

bool Core::isPending(unsigned number) const {
    if (number >= exc::kFirstExternal) {
        return (nvicPending_ >> (number - exc::kFirstExternal)) & 1u;
    }
    return (sysPending_ >> number) & 1u;
}

void Core::setPending(unsigned number) {
    if (number >= exc::kFirstExternal) {
        const std::uint32_t bit = 1u << (number - exc::kFirstExternal);
        // An interrupt going from inactive to pending is an event under SEVONPEND.
        if ((nvicPending_ & bit) == 0 && (nvicActive_ & bit) == 0 && (scr_ & kSevOnPend)) {
            event_ = true;
        }
        nvicPending_ |= bit;
    } else {
        sysPending_ |= 1u << number;
    }
    attention_ = true;
}

void Core::clearPending(unsigned number) {
    if (number >= exc::kFirstExternal) {
        nvicPending_ &= ~(1u << (number - exc::kFirstExternal));
        // A line still high pends its interrupt again at once.
        refreshLevels();
    } else {
        sysPending_ &= ~(1u << number);
    }
}

void Core::refreshLevels() {
    for (std::uint32_t bits = lines_ & ~nvicActive_ & ~nvicPending_; bits != 0; bits &= bits - 1) {
        setPending(exc::kFirstExternal + static_cast<unsigned>(__builtin_ctz(bits)));
    }
}

void Core::deactivate(unsigned number) {
    if (number >= exc::kFirstExternal) {
        nvicActive_ &= ~(1u << (number - exc::kFirstExternal));
        refreshLevels();
    } else {
        sysActive_ &= ~(1u << number);
    }
    attention_ = true;
}

unsigned Core::activeCount() const {
    return static_cast<unsigned>(__builtin_popcount(sysActive_) + __builtin_popcount(nvicActive_));
}

bool Core::exceptionDue() const {
    const Candidate next = bestPending();
    return next.number != 0 && next.priority < executionPriority(true);
}

unsigned Core::checkExceptions() {
    const Candidate next = bestPending();
    if (next.number != 0 && next.priority < executionPriority(true)) {
        return takeException(next.number, false, 0);
    }
    attention_ = false;
    return 0;
}

unsigned Core::takeException(unsigned number, bool tailChain, std::uint32_t excReturn) {
    if (!tailChain) {
        curPc_ = pc_; // where a fault of the entry is reported
        // The frame goes on the stack in use, realigned to eight bytes; the
        // stacked xPSR remembers the realignment for the return.
        const std::uint32_t sp = r_[13];
        const std::uint32_t realigned = (sp & 4u) ? kFrameRealigned : 0u;
        const std::uint32_t frame = (sp - 0x20u) & ~7u;
        const std::uint32_t words[8] = {r_[0],  r_[1],  r_[2], r_[3],
                                        r_[12], r_[14], pc_,   xpsr() | realigned};
        for (unsigned i = 0; i < 8; ++i) {
            if (!write(frame + 4 * i, 4, words[i])) {
                fault("stacking for exception " + std::to_string(number) + " to " +
                      hex(frame + 4 * i) + " failed");
                return 0;
            }
        }
        r_[13] = frame;
        excReturn = ipsr_ != 0 ? 0xFFFFFFF1u : (control_ & 2u) ? 0xFFFFFFFDu : 0xFFFFFFF9u;
    }
    std::uint32_t vector = 0;
    const std::uint32_t slot = vtor_ + 4 * number;
    if (!read(slot, 4, vector)) {
        fault("vector of exception " + std::to_string(number) + " at " + hex(slot) +
              " cannot be read");
        return 0;
    }
    if ((vector & 1u) == 0) {
        fault("vector of exception " + std::to_string(number) + " (" + hex(vector) +
              ") lacks the Thumb bit");
        return 0;
    }
    if (number >= exc::kFirstExternal) {
        const std::uint32_t bit = 1u << (number - exc::kFirstExternal);
        nvicPending_ &= ~bit;
        nvicActive_ |= bit;
    } else {
        sysPending_ &= ~(1u << number);
        sysActive_ |= 1u << number;
    }
    ipsr_ = number;
    selectStack(false); // Handler mode runs on the main stack
    r_[14] = excReturn;
    pc_ = vector & ~1u;
    event_ = true;
    attention_ = true;
    return tailChain ? cycles::kTailChain : cycles::kExceptionEntry;
}

unsigned Core::exceptionReturn(std::uint32_t excReturn) {
    const unsigned kind = excReturn & 0xFu;
    if ((excReturn & 0x0FFFFFF0u) != 0x0FFFFFF0u ||
        (kind != 0x1u && kind != 0x9u && kind != 0xDu)) {
        fault("bad EXC_RETURN " + hex(excReturn));
        return 0;
    }
    const bool toThread = kind != 0x1u;
    const unsigned returning = ipsr_;
    if (toThread && activeCount() != 1) {
        fault("EXC_RETURN " + hex(excReturn) + " to Thread mode with " +
              std::to_string(activeCount()) + " exceptions active");
        return 0;
    }
    deactivate(returning);

    // Tail-chaining: an exception that beats the priority being returned to
    // is taken on the frame already stacked.
    int returnPriority = toThread ? kNoPriority : executionPriority(false);
    if (primask_ && returnPriority > 0) {
        returnPriority = 0;
    }
    const Candidate next = bestPending();
    if (next.number != 0 && next.priority < returnPriority) {
        return takeException(next.number, true, excReturn);
    }

    selectStack(kind == 0xDu);
    const std::uint32_t frame = r_[13];
    std::uint32_t words[8];
    for (unsigned i = 0; i < 8; ++i) {
        if (!read(frame + 4 * i, 4, words[i])) {
            fault("unstacking from " + hex(frame + 4 * i) + " failed");
            return 0;
        }
    }
    r_[0] = words[0];
    r_[1] = words[1];
    r_[2] = words[2];
    r_[3] = words[3];
    r_[12] = words[4];
    r_[14] = words[5];
    pc_ = words[6] & ~1u;
    const std::uint32_t psr = words[7];
    r_[13] = (frame + 0x20u) | ((psr & kFrameRealigned) ? 4u : 0u);
    n_ = (psr >> 31) & 1u;
    z_ = (psr >> 30) & 1u;
    c_ = (psr >> 29) & 1u;
    v_ = (psr >> 28) & 1u;
    ipsr_ = psr & 0x3Fu;
    event_ = true;
    attention_ = true;
    if ((psr & kThumbBit) == 0) {
        fault("exception return to " + hex(pc_) + " in ARM state (stacked xPSR " + hex(psr) + ")");
        return 0;
    }
    if (toThread != (ipsr_ == 0)) {
        fault("EXC_RETURN " + hex(excReturn) + " does not match the stacked IPSR " +
              std::to_string(ipsr_));
        return 0;
    }
    if (toThread && (scr_ & kSleepOnExit)) {
        state_ = State::Sleeping;
    }
    return cycles::kExceptionReturn;
}

bool Core::raiseSvc(unsigned imm) {
    if (priorityOf(exc::kSvCall) >= executionPriority(true)) {
        // An SVC that cannot be taken at once escalates.
        fault("SVC #" + std::to_string(imm) +
              (primask_ ? std::string(" with PRIMASK set")
                        : " in the handler of exception " + std::to_string(ipsr_)));
        return false;
    }
    setPending(exc::kSvCall);
    return true;
}

bool Core::wakeCondition() {
    if (state_ == State::WaitForEvent && event_) {
        event_ = false;
        return true;
    }
    // WFI wakes for an exception that would preempt were PRIMASK clear; WFE
    // only for one that is taken.
    const Candidate next = bestPending();
    return next.number != 0 && next.priority < executionPriority(state_ == State::WaitForEvent);
}

void Core::setIrqLine(unsigned irq, bool level) {
    if (irq >= 32) {
        return;
    }
    const std::uint32_t bit = 1u << irq;
    lines_ = level ? (lines_ | bit) : (lines_ & ~bit);
    if (level && (nvicActive_ & bit) == 0) {
        setPending(exc::kFirstExternal + irq);
    }
}

void Core::signalEvent() {
    event_ = true;
}

} // namespace sim::arm
