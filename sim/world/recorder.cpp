#include "world/recorder.h"

#include "chip/chip.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace sim {

std::string Record::line() const {
    return Recorder::formatTime(at) + " " + source + " " + kind + " " + text;
}

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

std::string Recorder::formatTime(Time t) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64 ".%03" PRIu64 "us", t / 1000, t % 1000);
    return text;
}

void Recorder::add(Time at, std::string source, std::string kind, std::string text) {
    records_.push_back({at, std::move(source), std::move(kind), std::move(text)});
    if (sink_)
        sink_(records_.back());
}

std::vector<Record> Recorder::select(const std::string& kind, const std::string& source) const {
    std::vector<Record> out;
    for (const Record& r : records_) {
        if (r.kind == kind && (source.empty() || r.source == source))
            out.push_back(r);
    }
    return out;
}

namespace {

std::string who(const PinState& s) {
    if (s.contention)
        return "contention";
    if (s.chip != Drive::None)
        return std::string(functionName(s.function)) + " drives";
    if (s.world != Drive::None)
        return "world drives";
    if (s.floating)
        return "floating";
    return "pulled";
}

} // namespace

void Recorder::pinChanged(Chip& chip, unsigned pin, const PinState& state) {
    add(chip.now(), chip.name(), "pin",
        "GPIO" + std::to_string(pin) + "=" + (state.level ? "1" : "0") + " (" + who(state) + ")");
}

void Recorder::pinFunctionChanged(Chip& chip, unsigned pin, const PinState& state) {
    add(chip.now(), chip.name(), "function",
        "GPIO" + std::to_string(pin) + " " + functionName(state.function));
}

void Recorder::pwmChanged(Chip& chip, unsigned slice) {
    add(chip.now(), chip.name(), "pwm", chip.pwm.describe(slice));
}

void Recorder::spiFrame(Chip& chip, const SpiFrame& frame, std::uint16_t rx) {
    char text[96];
    std::snprintf(text, sizeof text, "spi0 tx=0x%04x rx=0x%04x %u bits mode %u, %s", frame.mosi, rx,
                  frame.bits, (frame.cpol ? 2u : 0u) | (frame.cpha ? 1u : 0u),
                  formatTime(frame.end - frame.start).c_str());
    add(frame.start, chip.name(), "spi", text);
}

void Recorder::consoleLine(Chip& chip, Time at, const std::string& text) {
    add(at, chip.name(), "console", text);
}

void Recorder::chipReset(Chip& chip, const std::string& cause) {
    add(chip.now(), chip.name(), "reset", cause);
}

} // namespace sim
