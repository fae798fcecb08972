// A debugger's call of one of the image's functions, made on one core from
// the context of its idle task, as a debugger makes such a call from a halted
// core: the core's registers are kept, the arguments go into r0..r3 (and
// their data below the stack pointer), and the function returns to the ROM's
// debugger trampoline end, where the registers are put back and r0 is the
// result. Made only in the kernel's idle loop in Thread mode with PRIMASK
// clear, the call finds no critical section or kernel lock held by its
// task, and may block, be switched out and come back on the other core like
// any code of that task.
#pragma once

#include "arm/core.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace sim::rp2040 {

class BusFabric;

class DebuggerCalls {
public:
    struct Call {
        int core = 0;
        std::uint32_t function = 0; // with the Thumb bit
        std::array<std::uint32_t, 4> args{};
        // Copied below the stack, so that its first words are the arguments
        // past the fourth; the arguments flagged in `dataArgs` (bit i for
        // argument i) are offsets into it, made addresses.
        std::vector<std::uint8_t> data;
        unsigned dataArgs = 0;
        std::function<void(std::uint32_t)> done; // r0 at the return
    };

    void add(Call call);
    // A call waits to be made on `core`, none being under way.
    bool waitingOn(int core) const {
        return !active_ && !waiting_.empty() && waiting_.front().core == core;
    }
    bool waiting() const { return !waiting_.empty(); }
    // Makes the first waiting call on `core`; `returnTo` is the address it
    // returns to.
    void begin(arm::Core& core, BusFabric& memory, std::uint32_t returnTo);
    // At the return address: true if it is the call's own return, its
    // registers then put back and its `done` told.
    bool returned(arm::Core& core);
    // A reset ends every call, made or not; their `done` hears nothing.
    void clear();

private:
    struct Active {
        std::array<std::uint32_t, 15> regs{}; // r0..r14
        std::uint32_t pc = 0;
        std::uint32_t flags = 0; // N, Z, C, V
        std::uint32_t sp = 0;    // the stack pointer the function must return with
        std::function<void(std::uint32_t)> done;
    };
    std::deque<Call> waiting_;
    std::optional<Active> active_;
};

} // namespace sim::rp2040
