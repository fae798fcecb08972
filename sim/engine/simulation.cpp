#include "simulation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {
Simulation* g_current = nullptr;
std::optional<std::uint64_t> g_defaultSeed;
} // namespace

Simulation::Simulation() {
    g_current = this;
    if (g_defaultSeed)
        setPerturbation(*g_defaultSeed);
}

void Simulation::setDefaultPerturbation(std::optional<std::uint64_t> seed) {
    g_defaultSeed = seed;
}

std::optional<std::uint64_t> Simulation::defaultPerturbation() {
    return g_defaultSeed;
}

Simulation::~Simulation() {
    if (g_current == this)
        g_current = nullptr;
}

Simulation& Simulation::current() {
    if (!g_current) {
        std::fprintf(stderr, "simulation: no simulated world exists\n");
        std::abort();
    }
    return *g_current;
}

bool Simulation::exists() {
    return g_current != nullptr;
}

void Simulation::attach(InstantRunner& p) {
    processors_.push_back(&p);
}

void Simulation::detach(InstantRunner& p) {
    processors_.erase(std::remove(processors_.begin(), processors_.end(), &p), processors_.end());
}

void Simulation::attach(TimedRunner& r) {
    runners_.push_back(&r);
}

void Simulation::detach(TimedRunner& r) {
    runners_.erase(std::remove(runners_.begin(), runners_.end(), &r), runners_.end());
}

void Simulation::stop(const std::string& message) {
    if (stopped_)
        return;
    stopped_ = true;
    error_ = message;
    trace("stopped: " + message);
}

void Simulation::stopLivelock(const std::string& who) {
    stop("livelock: " + who + " keeps running while virtual time cannot advance");
}

// Runs every context that can run at this instant, processor by processor,
// until none can.
bool Simulation::settle() {
    bool any = false;
    bool progress = true;
    while (progress && !stopped_) {
        progress = false;
        for (std::size_t i = 0; i < processors_.size() && !stopped_; ++i)
            progress |= processors_[i]->step();
        any |= progress;
    }
    return any;
}

bool Simulation::runUntil(Time end, const std::function<bool()>& done) {
    g_current = this;
    while (!stopped_) {
        settle();
        if (stopped_)
            break;
        Time next = events_.nextTime();
        const Time limit = std::min(next, end);
        if (!runners_.empty() && limit > now_) {
            // A round of the timed runners: each runs up to the bound, or up to
            // an event that appears meanwhile. The events only come nearer
            // during a round, so no runner ends behind the clock set here.
            // One runner alone has nobody to keep pace with.
            const Time bound =
                runners_.size() == 1 ? limit : std::min(limit, now_ + runnerQuantum_);
            roundStart_ = now_;
            for (std::size_t i = 0; i < runners_.size() && !stopped_; ++i) {
                if (runners_[i]->localTime() < bound)
                    runners_[i]->runUntil(bound);
            }
            now_ = std::max(roundStart_, std::min(bound, events_.nextTime()));
            if (done && done()) {
                settle();
                break;
            }
            continue;
        }
        if (next > end) {
            if (end > now_)
                now_ = end;
            break;
        }
        Event* e = events_.pop();
        now_ = next;
        e->fire();
        if (done && done()) {
            settle();
            break;
        }
    }
    return !stopped_;
}

} // namespace sim
