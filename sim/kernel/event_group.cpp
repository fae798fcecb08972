#include "event_group.h"

#include <vector>

namespace sim {

EventGroup::~EventGroup() {
    while (Task* t = waiters_.front())
        waiters_.remove(t);
}

std::uint32_t EventGroup::clear(std::uint32_t bits) {
    std::uint32_t before = bits_;
    bits_ &= ~bits;
    return before;
}

std::uint32_t EventGroup::set(std::uint32_t bits) {
    bits_ |= bits;
    std::uint32_t toClear = 0;
    std::vector<Task*> waiting = waiters_.tasks();
    for (Task* t : waiting) {
        bool all = (t->eventFlags & kWaitForAll) != 0;
        if (!satisfied(t->eventBits, all))
            continue;
        if (t->eventFlags & kClearOnExit)
            toClear |= t->eventBits;
        t->eventBits = bits_; // what the waiter sees when it returns
        scheduler_.wake(t);
    }
    bits_ &= ~toClear;
    scheduler_.yieldWithinApi();
    return bits_;
}

std::uint32_t EventGroup::wait(std::uint32_t bits, bool clearOnExit, bool waitForAll,
                               std::uint32_t ticks) {
    if (satisfied(bits, waitForAll)) {
        std::uint32_t value = bits_;
        if (clearOnExit)
            bits_ &= ~bits;
        return value;
    }
    if (ticks == 0)
        return bits_;
    Task* t = scheduler_.currentTask();
    t->eventBits = bits;
    t->eventFlags = (clearOnExit ? kClearOnExit : 0) | (waitForAll ? kWaitForAll : 0);
    if (scheduler_.block(&waiters_, ticks))
        return t->eventBits;
    // Timed out: report the bits as they are, clearing if they now match.
    std::uint32_t value = bits_;
    if (satisfied(bits, waitForAll) && clearOnExit)
        bits_ &= ~bits;
    return value;
}

} // namespace sim
