#include "world/backplane.h"

#include <stdexcept>

namespace sim {

Backplane::Backplane(Simulation& sim, ChipFactory makeChip)
    : sim_(sim), makeChip_(std::move(makeChip)), bus_(sim), host_(sim, bus_) {}

Backplane::~Backplane() {
    for (unsigned slot = 0; slot < kSlots; ++slot) {
        if (slots_[slot])
            bus_.removeLineProbe(probes_[slot]);
    }
}

Board& Backplane::insert(unsigned slot, BoardKind kind, const std::string& name, SlotCoding coding,
                         const ChipFactory& makeChip) {
    if (slot >= kSlots)
        throw std::invalid_argument("slot " + std::to_string(slot) + " is not 0..7");
    if (slots_[slot])
        throw std::invalid_argument("slot " + std::to_string(slot) + " already holds " +
                                    slots_[slot]->name());
    slots_[slot] = std::make_unique<Board>(sim_, bus_, slot, kind, name, coding,
                                           makeChip ? makeChip : makeChip_);
    Board* board = slots_[slot].get();
    probes_[slot] = bus_.addLineProbe([board] {
        return I2cBus::Lines{board->pullsSdaLow(), board->pullsSclLow()};
    });
    return *board;
}

Board* Backplane::board(unsigned slot) {
    return slot < kSlots ? slots_[slot].get() : nullptr;
}

void Backplane::powerOn() {
    for (auto& b : slots_) {
        if (b)
            b->chip().powerOn();
    }
}

} // namespace sim
