#include "chip_probe.h"

#include "arm/core.h"

ChipProbe::ChipProbe(sim::rp2040::Rp2040& chip) : chip_(chip) {
    idleHandlesAt_ = chip.elf().address("xIdleTaskHandles").value_or(0);
    chip_.setObserver(this);
}

ChipProbe::~ChipProbe() {
    chip_.setObserver(nullptr);
}

bool ChipProbe::idleTask(std::uint32_t tcb) {
    // The idle tasks never go away: read their handles until both exist.
    if ((idle_[0] == 0 || idle_[1] == 0) && idleHandlesAt_ != 0)
        chip_.readMemory(idleHandlesAt_, idle_.data(), sizeof idle_);
    return tcb != 0 && (tcb == idle_[0] || tcb == idle_[1]);
}

void ChipProbe::beforeStep(int core, sim::Time) {
    const std::size_t n = std::size_t(core);
    const std::uint32_t tcb = chip_.rtos().currentTcb(core);
    if (tcb != lastTcb_[n]) {
        lastTcb_[n] = tcb;
        if (tcb != 0)
            tasks_.insert(tcb);
    }
    busyStep_[n] = chip_.core(core).handlerMode() || !idleTask(tcb);
}

void ChipProbe::afterStep(int core, sim::Time begin, sim::Time end) {
    const std::size_t n = std::size_t(core);
    if (busyStep_[n] && begin >= loadFrom_)
        busy_[n] += end - begin;
    // The first instruction of a handler: the core stands at the address
    // the vector table gives for the exception it now handles.
    const sim::arm::Core& c = chip_.core(core);
    const unsigned exception = c.currentException();
    if (exception < sim::arm::exc::kFirstExternal)
        return;
    std::uint32_t handler = 0;
    if (chip_.readMemory(c.vtor() + 4 * exception, &handler, 4) && (handler & ~1u) == c.pc())
        latency_.handlerEntered(core, exception - sim::arm::exc::kFirstExternal, end);
}

void ChipProbe::irqLine(int core, unsigned irq, bool level, sim::Time at) {
    // A line that rises while its interrupt is off in the NVIC (during
    // start-up) waits for the firmware, not for the core: not a latency.
    const bool enabled = (chip_.core(core).irqEnabled() >> irq & 1u) != 0;
    latency_.lineChanged(core, irq, level && enabled, at);
}

void ChipProbe::startLoad(sim::Time at) {
    loadFrom_ = at;
    busy_ = {};
}

double ChipProbe::load(int core, sim::Time now) const {
    if (now <= loadFrom_)
        return 0.0;
    return static_cast<double>(busy_.at(std::size_t(core))) / static_cast<double>(now - loadFrom_);
}
