// One extension board in a backplane slot: its RP2040 and what its kind's
// description (world/board_description.h) wires to the chip's pins: the slot
// divider (through the analog inputs), the backplane's bus lines, and the
// converters on SPI0. Contacts are added on any pin when wanted.
#pragma once

#include "chip/chip.h"
#include "world/analog_source.h"
#include "world/board_description.h"
#include "world/contact.h"
#include "world/dac.h"
#include "world/slot_divider.h"
#include "world/thermocouple_bank.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace sim {

class I2cBus;

// What the backplane puts on a slot's coding pin.
struct SlotCoding {
    enum class Kind { Slot, Raw, None };
    Kind kind = Kind::Slot;
    std::uint16_t raw = 0;

    // The middle of the band of the slot the board sits in.
    static SlotCoding bySlot() { return {}; }
    static SlotCoding rawCount(std::uint16_t raw) { return {Kind::Raw, raw}; }
    static SlotCoding none() { return {Kind::None, 0}; }
};

// valdor, quillet, brennic; anything else is a bare board.
inline BoardKind boardKindOf(const std::string& image) {
    return boardDescriptionOf(image).kind;
}

// Makes the board's chip: the host model that runs an image module, or the
// instruction-level one that runs a real binary.
using ChipFactory = std::function<std::unique_ptr<Chip>(Simulation&, std::string name)>;

class Board {
public:
    static constexpr unsigned kSda = kBackplaneSda;
    static constexpr unsigned kScl = kBackplaneScl;

    // A board whose chip, made by `makeChip`, is not yet powered; `name`
    // names it in records.
    Board(Simulation& sim, I2cBus& bus, unsigned slot, BoardKind kind, std::string name,
          SlotCoding coding, const ChipFactory& makeChip);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    unsigned slot() const { return slot_; }
    BoardKind kind() const { return kind_; }
    const BoardDescription& description() const { return boardDescription(kind_); }
    const std::string& name() const { return chip_->name(); }

    Chip& chip() { return *chip_; }
    AnalogSource& analog() { return analog_; }
    SlotDivider& divider() { return divider_; }
    void setCoding(SlotCoding coding);
    // The DAC (valdor) and the thermocouple bank (quillet, brennic), or null.
    Dac* dac() { return dac_.get(); }
    ThermocoupleBank* thermocouples() { return thermo_.get(); }
    // A contact to ground on `pin`, made on first use.
    Contact& contact(unsigned pin);

    // Whether the chip drives the bus lines low through a function other
    // than I2C (a pin handed to SIO drives the backplane's line as well).
    bool pullsSdaLow() const;
    bool pullsSclLow() const;

private:
    bool pullsLow(unsigned pin) const;

    unsigned slot_;
    BoardKind kind_;
    I2cBus& bus_;
    std::unique_ptr<Chip> chip_;
    AnalogSource analog_;
    SlotDivider divider_;
    std::unique_ptr<Dac> dac_;
    std::unique_ptr<ThermocoupleBank> thermo_;
    std::map<unsigned, std::unique_ptr<Contact>> contacts_;
};

} // namespace sim
