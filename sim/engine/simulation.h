// The simulated world's clock and its run loop. Exactly one simulated
// context (a task, an interrupt handler, the world) executes at any moment;
// time advances only when no core has anything left to do at the current
// time, and then jumps straight to the next event.
#pragma once

#include "event_queue.h"
#include "perturbation.h"
#include "time.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// A processor whose contexts run at the instant they are due (the host
// model of the chip): the run loop steps it until nothing is left to run at
// the current time.
class InstantRunner {
public:
    virtual ~InstantRunner() = default;
    // Runs everything that can run now; true if anything ran.
    virtual bool step() = 0;
};

// A processor whose code takes virtual time (the instruction-level chip that
// runs a real binary). The run loop lets each one run in rounds of at most a
// quantum; within a round a runner keeps its own time and stops where the
// next event of the world is due, so it never runs past anything that could
// change what it sees.
class TimedRunner {
public:
    virtual ~TimedRunner() = default;
    // The runner's own time: how far it has run.
    virtual Time localTime() const = 0;
    // Runs from localTime() towards `bound`, stopping as soon as its time
    // reaches the world's next event (Simulation::events().nextTime()) or
    // the bound; an instruction in progress may end a few cycles past it.
    // While it runs, it keeps the world's clock at its own time with
    // Simulation::runnerTime().
    virtual void runUntil(Time bound) = 0;
};

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
    bool runUntil(Time end) { return runUntil(end, {}); }
    // The same, but it also ends at the first event after which `done`
    // holds, once everything that can run at that instant has run.
    bool runUntil(Time end, const std::function<bool()>& done);
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

    // Seeded perturbation of every processor of this world (see
    // perturbation.h); off unless set. A new world starts with the
    // process-wide default, so that a whole test suite can run perturbed.
    void setPerturbation(std::uint64_t seed, PerturbationBounds bounds = {}) {
        perturbation_.emplace(seed, bounds);
    }
    void clearPerturbation() { perturbation_.reset(); }
    Perturbation* perturbation() { return perturbation_ ? &*perturbation_ : nullptr; }
    static void setDefaultPerturbation(std::optional<std::uint64_t> seed);
    static std::optional<std::uint64_t> defaultPerturbation();

    void attach(InstantRunner& p);
    void detach(InstantRunner& p);
    void attach(TimedRunner& r);
    void detach(TimedRunner& r);
    // The longest round of the timed runners. Between two runners on one
    // backplane, what one does reaches the other at most this late.
    void setRunnerQuantum(Time q) { runnerQuantum_ = q > 0 ? q : 1; }
    Time runnerQuantum() const { return runnerQuantum_; }
    // Set by a timed runner as it runs: the world's clock is the runner's
    // time while its code executes (never before the round began).
    void runnerTime(Time t) {
        if (t > roundStart_)
            now_ = t;
    }

private:
    bool settle();

    EventQueue events_;
    Time now_ = 0;
    std::vector<InstantRunner*> processors_;
    std::vector<TimedRunner*> runners_;
    Time runnerQuantum_ = microseconds(10);
    Time roundStart_ = 0;
    bool stopped_ = false;
    std::string error_;
    TraceSink trace_;
    std::optional<Perturbation> perturbation_;
    std::uint64_t livelockLimit_ = 2000000;
    std::uint64_t resumesNow_ = 0;
    Time resumesAt_ = 0;
};

} // namespace sim
