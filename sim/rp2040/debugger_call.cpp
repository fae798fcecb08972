#include "rp2040/debugger_call.h"

#include "rp2040/bus_fabric.h"

namespace sim::rp2040 {

void DebuggerCalls::add(Call call) {
    waiting_.push_back(std::move(call));
}

void DebuggerCalls::begin(arm::Core& core, BusFabric& memory, std::uint32_t returnTo) {
    Call call = std::move(waiting_.front());
    waiting_.pop_front();
    Active a;
    for (unsigned r = 0; r < a.regs.size(); ++r)
        a.regs[r] = core.reg(r);
    a.pc = core.pc();
    a.flags = core.xpsr() & 0xF0000000u;
    // The data below the stack, the stack kept aligned to 8 bytes for the call.
    const std::uint32_t dataSize = (std::uint32_t(call.data.size()) + 7u) & ~7u;
    a.sp = (a.regs[13] - dataSize) & ~7u;
    memory.writeMemory(a.sp, call.data.data(), std::uint32_t(call.data.size()));
    for (unsigned i = 0; i < call.args.size(); ++i)
        core.setReg(i, (call.dataArgs >> i) & 1u ? a.sp + call.args[i] : call.args[i]);
    core.setReg(13, a.sp);
    core.setReg(14, returnTo | 1u);
    core.setPc(call.function);
    a.done = std::move(call.done);
    active_ = std::move(a);
}

bool DebuggerCalls::returned(arm::Core& core) {
    if (!active_ || core.handlerMode() || core.reg(13) != active_->sp)
        return false;
    Active a = std::move(*active_);
    active_.reset();
    const std::uint32_t result = core.reg(0);
    for (unsigned r = 0; r < a.regs.size(); ++r)
        core.setReg(r, a.regs[r]);
    core.setPc(a.pc);
    core.setFlags(a.flags & 0x80000000u, a.flags & 0x40000000u, a.flags & 0x20000000u,
                  a.flags & 0x10000000u);
    if (a.done)
        a.done(result);
    return true;
}

void DebuggerCalls::clear() {
    waiting_.clear();
    active_.reset();
}

} // namespace sim::rp2040
