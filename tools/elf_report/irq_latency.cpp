#include "irq_latency.h"

void IrqLatency::lineChanged(int core, unsigned irq, bool level, sim::Time at) {
    if (core < 0 || core > 1 || irq >= 32)
        return;
    std::optional<sim::Time>& risen = risen_[std::size_t(core)][irq];
    if (level)
        risen = at;
    else
        risen.reset();
}

void IrqLatency::handlerEntered(int core, unsigned irq, sim::Time at) {
    if (core < 0 || core > 1 || irq >= 32)
        return;
    std::optional<sim::Time>& risen = risen_[std::size_t(core)][irq];
    if (!risen || at < *risen)
        return; // entered without a line of its own (pended by software)
    latency_[irq].add(at - *risen);

    risen.reset();
}
