// One random host script for one board: bus transfers and changes of the
// world, each at a fixed time after the script starts. The script is built
// so that every byte the host reads is settled by then on both backends:
// a read never covers a published register whose world value changed within
// the time its board needs to publish it, an input acknowledge never falls
// into a bounce, and host activity never falls near the end of the
// host-silence window.
#pragma once

#include "engine/time.h"
#include "harness/scenario_step.h"

#include <cstdint>
#include <string>
#include <vector>

namespace differential {

using sim::Time;

// The script starts this long after power-on. Boards are up on both
// backends by then (the real binary starts up to 5 ms later), and the
// script's first host word falls midway between two steps of the start-up
// fading on both.
constexpr Time kScriptStart = sim::milliseconds(16);

// One step of the scenario vocabulary (a transfer, a bounce, an analog or
// thermocouple input) at its time.
struct Step {
    Time at = 0; // after the script's start
    sim::scenario::Step action;
    std::string describe() const { return sim::scenario::print(action); }
};

struct Script {
    std::string image; // valdor or quillet
    unsigned slot = 0;
    std::vector<Step> steps;
    Time length = 0; // the last step's time plus the time it may take to settle
};

// The script of `seed`: the same seed gives the same script.
Script generate(const std::string& image, std::uint64_t seed, unsigned steps = 60);

} // namespace differential
