// Seeded perturbation of the simulated processors: the interleavings a real
// chip allows but the plain model never shows. Off by default. With a seed,
// every decision below comes from one small generator of our own, so the
// same seed gives the same run, byte for byte, on any standard library.
//
// The bounds keep what the firmware may rely on (periods of milliseconds,
// the order of its own calls, the bus held by clock stretching) while moving
// everything below a few microseconds.
#pragma once

#include "time.h"

#include <cstdint>

namespace sim {

struct PerturbationBounds {
    // Firmware code between two SDK or RTOS calls takes 0..this.
    Time maxCallCost = nanoseconds(400);
    // At a call, or entering or leaving a critical section, the context
    // is held off in one case out of this many...
    std::uint32_t holdOffOneIn = 4;
    // ...for 0..this, while everything else on the chip runs.
    Time maxHoldOff = microseconds(2);
    // An interrupt reaches its handler up to this much later than the
    // injected latency alone says.
    Time maxIrqJitter = microseconds(2);
    // A task woken for the other core starts up to this much later.
    Time maxCrossCoreWake = microseconds(3);
};

// splitmix64: small, fast, and the same everywhere.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in 0..n-1 (n > 0); the bias of a plain modulo is far below
    // anything a schedule could show.
    std::uint64_t below(std::uint64_t n) { return next() % n; }

private:
    std::uint64_t state_;
};

class Perturbation {
public:
    explicit Perturbation(std::uint64_t seed, PerturbationBounds bounds = {})
        : seed_(seed), bounds_(bounds), rng_(seed) {}

    std::uint64_t seed() const { return seed_; }
    const PerturbationBounds& bounds() const { return bounds_; }

    // Which core of a processor takes its turn first.
    int firstCore() { return static_cast<int>(rng_.below(2)); }
    // What happens at a call: the code since the last one costs `cost`;
    // when `holdOff` is set the context also lets everything else run
    // first, then waits `extra` more.
    struct AtCall {
        Time cost = 0;
        bool holdOff = false;
        Time extra = 0;
    };
    AtCall atCall() {
        AtCall a;
        a.cost = upTo(bounds_.maxCallCost);
        a.holdOff = bounds_.holdOffOneIn > 0 && rng_.below(bounds_.holdOffOneIn) == 0;
        if (a.holdOff)
            a.extra = upTo(bounds_.maxHoldOff);
        return a;
    }
    // At a critical-section boundary: only the hold-off.
    AtCall atBoundary() {
        AtCall a;
        a.holdOff = bounds_.holdOffOneIn > 0 && rng_.below(bounds_.holdOffOneIn) == 0;
        if (a.holdOff)
            a.extra = upTo(bounds_.maxHoldOff);
        return a;
    }
    Time irqJitter() { return upTo(bounds_.maxIrqJitter); }
    Time crossCoreWake() { return upTo(bounds_.maxCrossCoreWake); }

private:
    Time upTo(Time max) { return max == 0 ? 0 : rng_.below(max + 1); }

    std::uint64_t seed_;
    PerturbationBounds bounds_;
    SplitMix64 rng_;
};

} // namespace sim
