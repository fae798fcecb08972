#include "world/recorder.h"

#include "chip/chip.h"

#include <algorithm>

namespace sim {

Recorder::~Recorder() {
    for (Chip* c : chips_)
        c->removeObserver(*this);
}

void Recorder::attach(Chip& chip) {
    if (std::find(chips_.begin(), chips_.end(), &chip) == chips_.end())
        chips_.push_back(&chip);
    chip.addObserver(*this);
}

void Recorder::detach(Chip& chip) {
    chip.removeObserver(*this);
    chips_.erase(std::remove(chips_.begin(), chips_.end(), &chip), chips_.end());
}

void Recorder::add(Time at, std::string source, RecordData data) {
    records_.push_back({at, std::move(source), std::move(data)});
    if (sink_)
        sink_(records_.back());
}

std::vector<Record> Recorder::select(const std::string& kind, const std::string& source) const {
    std::vector<Record> out;
    for (const Record& r : records_) {
        if (r.kind() == kind && (source.empty() || r.source == source))
            out.push_back(r);
    }
    return out;
}

namespace {

PinLevel::Holder holderOf(const PinState& s) {
    if (s.contention)
        return PinLevel::Holder::Contention;
    if (s.chip != Drive::None)
        return PinLevel::Holder::Chip;
    if (s.world != Drive::None)
        return PinLevel::Holder::World;
    if (s.floating)
        return PinLevel::Holder::Floating;
    return PinLevel::Holder::Pulled;
}

} // namespace

void Recorder::pinChanged(Chip& chip, unsigned pin, const PinState& state) {
    add(chip.now(), chip.name(), PinLevel{pin, state.level, holderOf(state), state.function});
}

void Recorder::pinFunctionChanged(Chip& chip, unsigned pin, const PinState& state) {
    add(chip.now(), chip.name(), PinFunction{pin, state.function});
}

void Recorder::pwmChanged(Chip& chip, unsigned slice) {
    const PwmSlice& s = chip.pwm.slice(slice);
    add(chip.now(), chip.name(),
        PwmSettings{slice, s.enabled, s.top, s.divider, s.levelA, s.levelB});
}

void Recorder::spiFrame(Chip& chip, const SpiFrame& frame, std::uint16_t rx) {
    const unsigned mode = (frame.cpol ? 2u : 0u) | (frame.cpha ? 1u : 0u);
    add(frame.start, chip.name(),
        SpiTransfer{frame.mosi, rx, frame.bits, mode, frame.end - frame.start});
}

void Recorder::consoleLine(Chip& chip, Time at, const std::string& text) {
    add(at, chip.name(), ConsoleText{text});
}

void Recorder::chipReset(Chip& chip, const std::string& cause) {
    add(chip.now(), chip.name(), ChipReset{cause});
}

} // namespace sim
