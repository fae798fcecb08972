#include "chip/block_host.h"

#include "chip/chip.h"

namespace sim {

Time BlockHost::sinceReset() const {
    return chip_.sinceReset();
}

void BlockHost::setIrqLine(unsigned irq, bool level) {
    chip_.setIrqLine(irq, level);
}

void BlockHost::setIrqLine(int core, unsigned irq, bool level) {
    chip_.setIrqLine(core, irq, level);
}

void BlockHost::resetChip(const std::string& cause) {
    chip_.reset(cause);
}

void BlockHost::trace(const std::string& what) {
    chip_.trace(what);
}

void BlockHost::notifyObservers(const std::function<void(ChipObserver&, Chip&)>& tell) {
    chip_.forEachObserver([&](ChipObserver& o) { tell(o, chip_); });
}

} // namespace sim
