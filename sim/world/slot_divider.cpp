#include "world/slot_divider.h"

#include "world/analog_source.h"

#include <stdexcept>

namespace sim {

namespace {
constexpr unsigned kBand = 512;
constexpr unsigned kNoBoardBelow = 128;
} // namespace

SlotDivider::SlotDivider(AnalogSource& source) : source_(source) {
    setNone();
}

std::uint16_t SlotDivider::midBand(unsigned slot) {
    if (slot >= kSlots)
        throw std::out_of_range("slot " + std::to_string(slot) + " is not 0..7");
    const unsigned low = (kSlots - 1 - slot) * kBand;
    const unsigned bottom = low < kNoBoardBelow ? kNoBoardBelow : low;
    return static_cast<std::uint16_t>((bottom + low + kBand) / 2);
}

void SlotDivider::setSlot(unsigned slot) {
    source_.set(kInput, midBand(slot));
    slot_ = slot;
}

void SlotDivider::setRaw(std::uint16_t raw) {
    source_.set(kInput, raw);
    slot_.reset();
}

void SlotDivider::setNone() {
    source_.set(kInput, 0);
    slot_.reset();
}

} // namespace sim
