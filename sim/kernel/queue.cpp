#include "queue.h"

#include "processor.h"

#include <cstring>

namespace sim {

Queue::Queue(Scheduler& scheduler, unsigned length, unsigned itemSize)
    : scheduler_(scheduler), length_(length), itemSize_(itemSize),
      storage_(static_cast<std::size_t>(length) * itemSize) {}

Queue::~Queue() {
    scheduler_.unregisterQueue(this);
    while (Task* t = senders_.front())
        senders_.remove(t);
    while (Task* t = receivers_.front())
        receivers_.remove(t);
}

void Queue::put(const void* item, bool toFront) {
    unsigned slot;
    if (toFront) {
        head_ = (head_ + length_ - 1) % length_;
        slot = head_;
    } else {
        slot = (head_ + count_) % length_;
    }
    if (itemSize_ > 0)
        std::memcpy(&storage_[static_cast<std::size_t>(slot) * itemSize_], item, itemSize_);
    ++count_;
}

void Queue::take(void* item) {
    if (itemSize_ > 0)
        std::memcpy(item, &storage_[static_cast<std::size_t>(head_) * itemSize_], itemSize_);
    head_ = (head_ + 1) % length_;
    --count_;
}

// Blocks the caller on `list` until woken or until the deadline; false when
// the caller may not wait (any more). Woken or timed out, the caller looks at
// the queue once more before it gives up, as the RTOS does.
bool Queue::wait(WaitList& list, std::uint32_t ticks, std::uint64_t deadline) {
    // Before the scheduler runs nothing can block.
    if (ticks == 0 || !scheduler_.started())
        return false;
    std::uint32_t remaining = kWaitForever;
    if (ticks != kWaitForever) {
        if (scheduler_.tick64() >= deadline)
            return false;
        remaining = static_cast<std::uint32_t>(deadline - scheduler_.tick64());
    }
    scheduler_.block(&list, remaining);
    return true;
}

bool Queue::send(const void* item, std::uint32_t ticks, bool toFront) {
    const std::uint64_t deadline = scheduler_.tick64() + ticks;
    while (count_ >= length_) {
        if (!wait(senders_, ticks, deadline))
            return false;
    }
    put(item, toFront);
    if (Task* r = receivers_.front())
        scheduler_.wake(r);
    scheduler_.yieldWithinApi();
    return true;
}

bool Queue::sendFromIsr(const void* item, bool toFront, bool* woken) {
    if (count_ >= length_)
        return false;
    put(item, toFront);
    if (Task* r = receivers_.front()) {
        if (scheduler_.wake(r) && woken)
            *woken = true;
    }
    return true;
}

bool Queue::receive(void* item, std::uint32_t ticks) {
    const std::uint64_t deadline = scheduler_.tick64() + ticks;
    while (count_ == 0) {
        if (!wait(receivers_, ticks, deadline))
            return false;
    }
    take(item);
    if (Task* s = senders_.front())
        scheduler_.wake(s);
    scheduler_.yieldWithinApi();
    return true;
}

} // namespace sim
