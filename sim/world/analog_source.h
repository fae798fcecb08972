// The voltages on the ADC inputs of one board, as raw 12-bit counts of the
// 3.3 V reference. An input can hold one value or play a script: each
// conversion takes the next reading, and the last one stays.
#pragma once

#include "chip/adc.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

class Chip;

class AnalogSource : public AdcSource {
public:
    static constexpr unsigned kInputs = 4; // GPIO26..29
    static constexpr double kReference = 3.3;

    // Connects to the chip's ADC.
    explicit AnalogSource(Chip& chip);
    ~AnalogSource() override;
    AnalogSource(const AnalogSource&) = delete;
    AnalogSource& operator=(const AnalogSource&) = delete;

    void set(unsigned input, std::uint16_t raw);
    void setVolts(unsigned input, double volts);
    void script(unsigned input, std::vector<std::uint16_t> readings);
    // Nothing on the input any more.
    void release(unsigned input);

    // What the next conversion of the input gives, without taking it.
    std::optional<std::uint16_t> peek(unsigned input) const;
    unsigned conversions(unsigned input) const { return inputs_.at(input).conversions; }

    std::optional<std::uint16_t> sample(unsigned input) override;

    // Hears of every change of what an input carries (probes drawing it).
    void setListener(std::function<void(unsigned input)> listener) {
        listener_ = std::move(listener);
    }

private:
    struct Input {
        std::vector<std::uint16_t> readings; // empty: nothing connected
        std::size_t next = 0;
        unsigned conversions = 0;
    };

    Chip& chip_;
    std::array<Input, kInputs> inputs_{};
    std::function<void(unsigned input)> listener_;
};

} // namespace sim
