// Interrupt latency: from the rise of an interrupt line to the first
// instruction of its handler, per interrupt over both cores. A rise that
// falls again before its handler runs is not counted.
#pragma once

#include "summary.h"

#include <array>
#include <optional>

class IrqLatency {
public:
    void lineChanged(int core, unsigned irq, bool level, sim::Time at);
    void handlerEntered(int core, unsigned irq, sim::Time at);
    const Summary& of(unsigned irq) const { return latency_.at(irq); }

private:
    std::array<std::array<std::optional<sim::Time>, 32>, 2> risen_{};
    std::array<Summary, 32> latency_{};
};
