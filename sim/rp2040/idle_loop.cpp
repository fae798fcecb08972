#include "rp2040/idle_loop.h"

namespace sim::rp2040 {

IdleLoop::Registers IdleLoop::registersOf(const arm::Core& core) {
    Registers r{};
    for (unsigned n = 0; n < 15; ++n)
        r[n] = core.reg(n);
    r[15] = core.xpsr();
    return r;
}

bool IdleLoop::observe(const arm::Core& core, Time now) {
    const std::uint32_t pc = core.pc();
    if (marked_ && pc != pc_) {
        if (now - at_ <= kLongestPeriod)
            return false;
        marked_ = false; // the mark is off the loop's path
    }
    const Registers registers = registersOf(core);
    if (!marked_) {
        marked_ = true;
        confirmed_ = false;
        pc_ = pc;
        at_ = now;
        period_ = 0;
        registers_ = registers;
        return true;
    }
    const Time period = now - at_;
    confirmed_ = period > 0 && period == period_ && registers == registers_;
    period_ = period;
    at_ = now;
    registers_ = registers;
    return true;
}

} // namespace sim::rp2040
