// The 12-bit successive-approximation ADC: inputs 0..3 on GPIO26..29, input 4
// the temperature sensor. One conversion takes 96 cycles of the 48 MHz ADC
// clock, 2 us, which the reading core spends busy-waiting. The value comes
// from the world's source for the input, sampled as the conversion starts.
#pragma once

#include "kernel/time.h"

#include <cstdint>
#include <optional>

namespace sim {

class Chip;

class AdcSource {
public:
    virtual ~AdcSource() = default;
    // The raw 12-bit result the input converts to now, or nothing when the
    // world does not drive it.
    virtual std::optional<std::uint16_t> sample(unsigned input) = 0;
};

class Adc {
public:
    static constexpr Time kConversionTime = microseconds(2);
    static constexpr unsigned kInputs = 5;
    static constexpr unsigned kFirstPin = 26;
    static constexpr std::uint16_t kFullScale = 4095;
    // The temperature sensor at about 27 degrees: 0.706 V of 3.3 V.
    static constexpr std::uint16_t kTemperatureReading = 876;

    explicit Adc(Chip& chip);

    void reset();
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool enabled() const { return enabled_; }
    void select(unsigned input) { selected_ = input % kInputs; }
    unsigned selected() const { return selected_; }
    // With a round-robin mask, each conversion moves the selection on to the
    // next input in the mask.
    void setRoundRobin(std::uint32_t mask) { roundRobin_ = mask & 0x1Fu; }
    void setTemperatureSensorEnabled(bool enabled) { tempSensor_ = enabled; }

    // One conversion of the selected input; busy-waits the calling core.
    std::uint16_t convert();
    unsigned conversions() const { return conversions_; }

    void connect(AdcSource* source) { source_ = source; }
    AdcSource* source() const { return source_; }

private:
    std::uint16_t sample(unsigned input);

    Chip& chip_;
    AdcSource* source_ = nullptr;
    bool enabled_ = false;
    unsigned selected_ = 0;
    std::uint32_t roundRobin_ = 0;
    bool tempSensor_ = false;
    unsigned conversions_ = 0;
};

} // namespace sim
