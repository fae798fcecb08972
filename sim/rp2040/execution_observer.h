// Watches the cores of an Rp2040 as they run, for measuring tools: every step
// a core executes (an instruction, or the entry into an exception) and every
// change of an interrupt line. Turns of the idle loop that the chip jumps over
// are not reported; they execute only the kernel's idle loop.
#pragma once

#include "engine/time.h"

namespace sim::rp2040 {

class ExecutionObserver {
public:
    virtual ~ExecutionObserver() = default;
    // Core n is about to take a step at `at`: the core's state is the one
    // the step starts from.
    virtual void beforeStep(int /*core*/, Time /*at*/) {}
    // Core n's step ran from `begin` to `end` (its cycles, stalls included).
    virtual void afterStep(int /*core*/, Time /*begin*/, Time /*end*/) {}
    // A block drove interrupt line `irq` of core n to `level` at `at`.
    virtual void irqLine(int /*core*/, unsigned /*irq*/, bool /*level*/, Time /*at*/) {}
};

} // namespace sim::rp2040
