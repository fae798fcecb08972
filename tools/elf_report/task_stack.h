// A task's stack high-water mark from the kernel's fill: with
// INCLUDE_uxTaskGetStackHighWaterMark the kernel fills every new stack with
// 0xA5, so the lowest word that no longer holds the fill is the deepest the
// task (and everything stacked on its behalf: exception frames, the saved
// context) ever wrote. Depth is counted from the stack pointer the task
// starts with, the place the static analysis counts from: the top word of
// the stack, rounded down to 8 bytes (the port's pxPortInitialiseStack).
#pragma once

#include <cstdint>
#include <vector>

struct StackUse {
    std::uint32_t entrySp = 0;
    std::uint32_t depth = 0; // bytes below entrySp ever written
    bool exhausted = false;  // no fill left at all: the stack may have overflowed
};

// `bytes` is the whole stack as read from memory, lowest address `base`.
StackUse measureStack(std::uint32_t base, const std::vector<std::uint8_t>& bytes);
