// An RTOS queue: fixed-size items copied in and out, senders and receivers
// blocking with a time limit, woken highest priority first.
#pragma once

#include "scheduler.h"

#include <cstdint>
#include <vector>

namespace sim {

class Queue {
public:
    Queue(Scheduler& scheduler, unsigned length, unsigned itemSize);
    ~Queue();
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;

    // Task side: blocks for at most `ticks` while the queue is full/empty.
    bool send(const void* item, std::uint32_t ticks, bool toFront);
    bool receive(void* item, std::uint32_t ticks);
    // Interrupt side: never blocks; `woken` is set when a task that should
    // preempt the interrupted one became ready.
    bool sendFromIsr(const void* item, bool toFront, bool* woken);

    unsigned waiting() const { return count_; }
    unsigned spaces() const { return length_ - count_; }
    unsigned length() const { return length_; }
    unsigned itemSize() const { return itemSize_; }
    void* memory() const { return memory_; }
    void setMemory(void* m) { memory_ = m; }

private:
    bool wait(WaitList& list, std::uint32_t ticks, std::uint64_t deadline);
    void put(const void* item, bool toFront);
    void take(void* item);

    Scheduler& scheduler_;
    unsigned length_;
    unsigned itemSize_;
    std::vector<std::uint8_t> storage_;
    unsigned head_ = 0;
    unsigned count_ = 0;
    WaitList senders_;
    WaitList receivers_;
    void* memory_ = nullptr;
};

} // namespace sim
