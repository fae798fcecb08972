// Compares what two backends showed for one script: every step's bus
// outcome exactly, and every event stream within a stated tolerance. The
// result is the earliest divergence, with both traces around it.
#pragma once

#include "script.h"
#include "trace.h"

#include <cstdint>
#include <string>

namespace differential {

// How far the second trace's events may lie from the first's. Each stream
// gets one common offset (the least lateness over its events), no earlier
// than `early` and no later than `offset`; every event may then be up to
// `jitter` later than that offset.
struct Tolerance {
    Time early = 0;
    Time offset = 0;
    Time jitter = 0;
    std::string describe() const;
};

// The real binary against the host model: it starts up to kStartUp (5 ms)
// later and its code takes up to kCodeTime (250 us). Its tick grid lies a
// fraction of a tick off the host's, so a timer or time slice started by
// the host or the world ends up to one tick earlier or later: one tick on
// both sides of the offset, and one tick plus kCodeTime of jitter.
Tolerance realBinaryTolerance();

struct Counts {
    std::uint64_t steps = 0;
    std::uint64_t bytes = 0;  // read bytes and acknowledge bits compared
    std::uint64_t events = 0; // events compared
    // The widest timing differences seen in streams that agreed.
    std::int64_t leastOffset = 0, greatestOffset = 0, greatestJitter = 0;
};

struct Divergence {
    bool found = false;
    Time at = 0;          // in the first trace
    std::size_t step = 0; // the script step it belongs to
    std::string what;     // one line
    std::string context;  // both traces around it
};

// `a` is the reference (the host model), `b` the backend under test.
Divergence compare(const Script& script, const Trace& a, const Trace& b, const Tolerance& tol,
                   Counts& counts);

} // namespace differential
