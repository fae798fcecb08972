#include "world/analog_source.h"

#include "chip/chip.h"

#include <algorithm>
#include <cmath>

namespace sim {

AnalogSource::AnalogSource(Chip& chip) : chip_(chip) {
    chip_.adc.connect(this);
}

AnalogSource::~AnalogSource() {
    if (chip_.adc.source() == this)
        chip_.adc.connect(nullptr);
}

void AnalogSource::set(unsigned input, std::uint16_t raw) {
    script(input, {raw});
}

void AnalogSource::setVolts(unsigned input, double volts) {
    const double counts = std::round(volts / kReference * 4096.0);
    set(input, static_cast<std::uint16_t>(std::clamp(counts, 0.0, 4095.0)));
}

void AnalogSource::script(unsigned input, std::vector<std::uint16_t> readings) {
    Input& in = inputs_.at(input);
    for (std::uint16_t& r : readings)
        r = std::min<std::uint16_t>(r, Adc::kFullScale);
    in.readings = std::move(readings);
    in.next = 0;
    if (listener_)
        listener_(input);
}

void AnalogSource::release(unsigned input) {
    script(input, {});
}

std::optional<std::uint16_t> AnalogSource::peek(unsigned input) const {
    const Input& in = inputs_.at(input);
    if (in.readings.empty())
        return std::nullopt;
    return in.readings[std::min(in.next, in.readings.size() - 1)];
}

std::optional<std::uint16_t> AnalogSource::sample(unsigned input) {
    if (input >= kInputs)
        return std::nullopt;
    Input& in = inputs_[input];
    std::optional<std::uint16_t> value = peek(input);
    if (value) {
        ++in.conversions;
        if (in.next + 1 < in.readings.size()) {
            ++in.next;
            if (listener_)
                listener_(input);
        }
    }
    return value;
}

} // namespace sim
