// The simulated world's clock and its run loop. Exactly one simulated
// context (a task, an interrupt handler, the world) executes at any moment;
// time advances only when no core has anything left to do at the current
// time, and then jumps straight to the next event.
#pragma once

#include "event_queue.h"
#include "time.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

class Processor;

// Receives one line per recorded happening (context switches, interrupts,
// resets, and whatever the world's recorders add). Optional.
using TraceSink = std::function<void(Time, const std::string&)>;

class Simulation {
public:
    Simulation();
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    static Simulation& current();
    static bool exists();

    Time now() const { return now_; }
    EventQueue& events() { return events_; }
    void schedule(Event& e, Time when) { events_.schedule(e, when); }
    void scheduleIn(Event& e, Time delay) { events_.schedule(e, now_ + delay); }

    // Runs until virtual time reaches `end` (or the simulation stops).
    // Returns false when it stopped on an error.
    bool runUntil(Time end);
    bool runFor(Time duration) { return runUntil(now_ + duration); }

    // Stops the run with an error; the message names what went wrong.
    void stop(const std::string& message);
    bool stopped() const { return stopped_; }
    const std::string& error() const { return error_; }

    void setTrace(TraceSink sink) { trace_ = std::move(sink); }
    bool tracing() const { return static_cast<bool>(trace_); }
    void trace(const std::string& line) {
        if (trace_)
            trace_(now_, line);
    }

    // How many times contexts may be resumed at one instant before the run is
    // declared a livelock.
    void setLivelockLimit(std::uint64_t limit) { livelockLimit_ = limit; }
    // Counts a resume at the current instant. Past the limit it returns true,
    // and the caller stops the run naming the context (built only then).
    bool countResume() {
        if (resumesAt_ != now_) {
            resumesAt_ = now_;
            resumesNow_ = 0;
        }
        return ++resumesNow_ > livelockLimit_;
    }
    void stopLivelock(const std::string& who);

    void attach(Processor& p);
    void detach(Processor& p);

private:
    bool settle();

    EventQueue events_;
    Time now_ = 0;
    std::vector<Processor*> processors_;
    bool stopped_ = false;
    std::string error_;
    TraceSink trace_;
    std::uint64_t livelockLimit_ = 2000000;
    std::uint64_t resumesNow_ = 0;
    Time resumesAt_ = 0;
};

} // namespace sim
