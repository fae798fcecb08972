#include "chip/adc.h"

#include "chip/chip.h"

namespace sim {

Adc::Adc(Chip& chip) : chip_(chip) {}

void Adc::reset() {
    enabled_ = false;
    selected_ = 0;
    roundRobin_ = 0;
    tempSensor_ = false;
}

std::uint16_t Adc::sample(unsigned input) {
    if (input == 4)
        return tempSensor_ ? kTemperatureReading : 0;
    if (source_) {
        if (std::optional<std::uint16_t> v = source_->sample(input))
            return static_cast<std::uint16_t>(*v > kFullScale ? kFullScale : *v);
    }
    // Nothing analog on the pin: it converts whatever drives it digitally,
    // near a rail; a floating pin reads 0.
    PinState s = chip_.gpio.state(kFirstPin + input);
    return s.floating ? 0 : (s.level ? kFullScale : 0);
}

std::uint16_t Adc::convert() {
    if (!enabled_)
        chip_.failWith("ADC read while the ADC is off (adc_init missing): it never becomes ready");
    const unsigned input = selected_;
    const std::uint16_t value = sample(input);
    ++conversions_;
    if (roundRobin_) {
        unsigned next = input;
        do {
            next = (next + 1) % kInputs;
        } while (!((roundRobin_ >> next) & 1u));
        selected_ = next;
    }
    chip_.busyWaitFor(kConversionTime);
    return value;
}

} // namespace sim
