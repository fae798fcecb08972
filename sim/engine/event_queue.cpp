#include "event_queue.h"

namespace sim {

Event::~Event() {
    if (queue_)
        queue_->cancel(*this);
}

EventQueue::~EventQueue() {
    for (Event* e : heap_)
        e->queue_ = nullptr;
}

void EventQueue::schedule(Event& e, Time when) {
    if (e.queue_)
        e.queue_->cancel(e);
    e.queue_ = this;
    e.when_ = when;
    e.seq_ = nextSeq_++;
    heap_.push_back(&e);
    e.index_ = heap_.size() - 1;
    siftUp(e.index_);
}

void EventQueue::cancel(Event& e) {
    if (e.queue_ != this)
        return;
    removeAt(e.index_);
    e.queue_ = nullptr;
}

Event* EventQueue::pop() {
    if (heap_.empty())
        return nullptr;
    Event* e = heap_.front();
    removeAt(0);
    e->queue_ = nullptr;
    return e;
}

void EventQueue::removeAt(std::size_t i) {
    Event* last = heap_.back();
    heap_.pop_back();
    if (i == heap_.size())
        return;
    place(i, last);
    siftDown(i);
    siftUp(last->index_);
}

void EventQueue::siftUp(std::size_t i) {
    Event* e = heap_[i];
    while (i > 0) {
        std::size_t parent = (i - 1) / 2;
        if (!before(e, heap_[parent]))
            break;
        place(i, heap_[parent]);
        i = parent;
    }
    place(i, e);
}

void EventQueue::siftDown(std::size_t i) {
    Event* e = heap_[i];
    const std::size_t n = heap_.size();
    for (;;) {
        std::size_t child = 2 * i + 1;
        if (child >= n)
            break;
        if (child + 1 < n && before(heap_[child + 1], heap_[child]))
            ++child;
        if (!before(heap_[child], e))
            break;
        place(i, heap_[child]);
        i = child;
    }
    place(i, e);
}

} // namespace sim
