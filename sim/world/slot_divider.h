// The backplane's resistor divider that codes a slot: a voltage on ADC input
// 2 (GPIO28). The firmware reads 512-count bands, position 0 at the top;
// a slot here puts its voltage in the middle of its band. No divider (a slot
// not wired) leaves the input at ground.
#pragma once

#include <cstdint>
#include <optional>

namespace sim {

class AnalogSource;

class SlotDivider {
public:
    static constexpr unsigned kInput = 2;
    static constexpr unsigned kSlots = 8;

    // Works through the board's analog source; starts with no divider.
    explicit SlotDivider(AnalogSource& source);

    void setSlot(unsigned slot);
    void setRaw(std::uint16_t raw);
    void setNone();

    // The reading of the middle of slot `slot`'s band: 3840 for slot 0 down
    // to 320 for slot 7, whose band is cut at 128 by the no-board threshold.
    static std::uint16_t midBand(unsigned slot);

    std::optional<unsigned> slot() const { return slot_; }

private:
    AnalogSource& source_;
    std::optional<unsigned> slot_;
};

} // namespace sim
