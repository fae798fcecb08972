// The one ordered list of things that will happen in the simulated world.
// Events run in (time, sequence) order, so equal inputs give equal traces.
#pragma once

#include "time.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace sim {

class EventQueue;

// Something that happens at a point in virtual time. An event object is
// scheduled at most once at a time; rescheduling moves it.
class Event {
public:
    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    virtual ~Event();

    virtual void fire() = 0;

    bool scheduled() const { return queue_ != nullptr; }
    Time when() const { return when_; }

private:
    friend class EventQueue;
    EventQueue* queue_ = nullptr;
    Time when_ = 0;
    std::uint64_t seq_ = 0;
    std::size_t index_ = 0;
};

// An event that calls a function; for things that do not happen often.
class CallbackEvent : public Event {
public:
    explicit CallbackEvent(std::function<void()> fn = {}) : fn_(std::move(fn)) {}
    void set(std::function<void()> fn) { fn_ = std::move(fn); }
    void fire() override {
        if (fn_)
            fn_();
    }

private:
    std::function<void()> fn_;
};

class EventQueue {
public:
    EventQueue() = default;
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;
    ~EventQueue();

    // Schedules (or moves) the event to the given time.
    void schedule(Event& e, Time when);
    void cancel(Event& e);

    bool empty() const { return heap_.empty(); }
    Time nextTime() const { return heap_.empty() ? kNever : heap_.front()->when_; }
    // Removes and returns the earliest event; nullptr when empty.
    Event* pop();

private:
    bool before(const Event* a, const Event* b) const {
        return a->when_ < b->when_ || (a->when_ == b->when_ && a->seq_ < b->seq_);
    }
    void siftUp(std::size_t i);
    void siftDown(std::size_t i);
    void removeAt(std::size_t i);
    void place(std::size_t i, Event* e) {
        heap_[i] = e;
        e->index_ = i;
    }

    std::vector<Event*> heap_;
    std::uint64_t nextSeq_ = 0;
};

} // namespace sim
