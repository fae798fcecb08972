// A stackful coroutine: the execution context of one simulated task or
// interrupt. All of them run on one host thread; the run loop resumes one,
// and it runs until it suspends itself. A switch costs a few nanoseconds,
// far less than handing over between host threads.
#pragma once

#include <cstddef>

namespace sim {

class Coroutine {
public:
    using Entry = void (*)(void* arg);

    // Host stack per coroutine. Firmware stacks are small on the chip, but the
    // host build runs with sanitizers and the C library's formatted output.
    static constexpr std::size_t kStackSize = 256 * 1024;

    Coroutine(Entry entry, void* arg);
    ~Coroutine(); // must not be the running coroutine
    Coroutine(const Coroutine&) = delete;
    Coroutine& operator=(const Coroutine&) = delete;

    // From the run loop: runs the coroutine until it suspends or its entry
    // returns.
    void resume();
    // From inside the running coroutine: back to whoever resumed it.
    static void suspend();
    static Coroutine* running() { return running_; }

    bool finished() const { return finished_; }

private:
    [[noreturn]] static void start();

    Entry entry_;
    void* arg_;
    void* stack_ = nullptr; // mapping, guard page first
    void* sp_ = nullptr;
    void* callerSp_ = nullptr;
    const void* callerStackBottom_ = nullptr;
    std::size_t callerStackSize_ = 0;
    bool finished_ = false;

    static Coroutine* running_;
};

} // namespace sim
