#include "world/board.h"

#include "world/i2c_bus.h"

namespace sim {

Board::Board(Simulation& sim, I2cBus& bus, unsigned slot, BoardKind kind, std::string name,
             SlotCoding coding, const ChipFactory& makeChip)
    : slot_(slot), kind_(kind), bus_(bus), chip_(makeChip(sim, std::move(name))), analog_(*chip_),
      divider_(analog_) {
    setCoding(coding);
    const BoardDescription& d = description();
    switch (d.converter) {
    case Converter::Dac:
        dac_ = std::make_unique<Dac>(*chip_, d.dacWiring());
        break;
    case Converter::Thermocouples:
        thermo_ = std::make_unique<ThermocoupleBank>(*chip_, d.thermocoupleWiring());
        break;
    case Converter::None:
        break;
    }
    chip_->i2c0Block.connect(bus_, kSda, kScl);
}

Board::~Board() = default;

void Board::setCoding(SlotCoding coding) {
    switch (coding.kind) {
    case SlotCoding::Kind::Slot:
        divider_.setSlot(slot_);
        break;
    case SlotCoding::Kind::Raw:
        divider_.setRaw(coding.raw);
        break;
    case SlotCoding::Kind::None:
        divider_.setNone();
        break;
    }
}

Contact& Board::contact(unsigned pin) {
    auto& c = contacts_[pin];
    if (!c)
        c = std::make_unique<Contact>(*chip_, pin);
    return *c;
}

bool Board::pullsLow(unsigned pin) const {
    // The world's own drive on the pin is a drive on the line itself.
    const Gpio& gpio = chip_->gpio;
    if (gpio.worldDrive(pin) == Drive::Low)
        return true;
    return gpio.function(pin) != gpiofn::kI2c && gpio.chipDrive(pin) == Drive::Low;
}

bool Board::pullsSdaLow() const {
    return pullsLow(kSda);
}
bool Board::pullsSclLow() const {
    return pullsLow(kScl);
}

} // namespace sim
