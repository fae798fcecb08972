// Two small firmware-like programs, each with a race that the plain
// schedule never shows: they only use the SDK and RTOS API, as firmware does,
// and report what went wrong through counters a debugger would read.
#pragma once

#include <cstdint>

// A task and an alarm interrupt on the same core count events in one
// variable; the task's read-modify-write spans an SDK call, unlocked.
int counterFixtureMain();
struct CounterResult {
    std::uint32_t counted;     // what the shared variable says
    std::uint32_t byTask;      // increments the task made
    std::uint32_t byInterrupt; // increments the interrupt made
    bool finished;
};
CounterResult counterFixtureResult();

// A task hands a request to a worker on the other core with a notification
// and reads the answer right after it, as if the worker had already run.
int handoffFixtureMain();
struct HandoffResult {
    std::uint32_t rounds;
    std::uint32_t staleAnswers; // answers read before the worker wrote them
};
HandoffResult handoffFixtureResult();
