#include "harness/bench.h"

#include "rp2040/rp2040.h"
#include "sdk/host_chip.h"

#include "world/vcd_writer.h"

#include <stdexcept>

namespace sim {

Bench::Bench()
    : backplane_(sim_, [](Simulation& sim, std::string name) {
          return std::make_unique<HostChip>(sim, std::move(name));
      }) {
    // A bus analyser decodes a transfer once its STOP is on the wires.
    backplane_.bus().setTransferObserver(
        [this](const I2cTransferRecord& t) { recorder_.bus(t.end, t); });
}

Bench::~Bench() {
    vcd_.reset();
    for (unsigned slot = 0; slot < Backplane::kSlots; ++slot) {
        if (Board* b = backplane_.board(slot))
            recorder_.detach(b->chip());
    }
}

namespace {

bool isRealBinary(const std::string& path) {
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".elf") == 0;
}

} // namespace

Board& Bench::place(unsigned slot, BoardKind kind, const std::string& name, SlotCoding coding,
                    const ChipFactory& makeChip) {
    Board& board =
        backplane_.insert(slot, kind, name + "@" + std::to_string(slot), coding, makeChip);
    recorder_.attach(board.chip());
    if (Dac* dac = board.dac())
        dac->setRecorder(&recorder_);
    return board;
}

Board& Bench::insert(unsigned slot, const std::string& image, const std::string& path,
                     SlotCoding coding) {
    if (isRealBinary(path)) {
        // The chip reads the binary as the board is made, so a bad file
        // leaves the slot empty.
        ChipFactory make = [&path](Simulation& sim, std::string name) {
            return std::make_unique<rp2040::Rp2040>(sim, std::move(name), path);
        };
        return place(slot, boardKindOf(image), image, coding, make);
    }
    Board& board = place(slot, boardKindOf(image), image, coding);
    HostChip& chip = hostChipOf(board);
    chip.heap().setCapacity(board.description().heapBytes);
    chip.loadImage(path);
    return board;
}

Board& Bench::insertProgram(unsigned slot, BoardKind kind, std::function<int()> main,
                            SlotCoding coding) {
    Board& board = place(slot, kind, "program", coding);
    hostChipOf(board).setMain(std::move(main));
    return board;
}

HostChip& hostChipOf(Board& board) {
    auto* chip = dynamic_cast<HostChip*>(&board.chip());
    if (!chip)
        throw std::logic_error(board.name() + " runs a real binary, not the host model");
    return *chip;
}

void Bench::writeVcd(const std::string& path) {
    vcd_.reset();
    vcd_ = std::make_unique<VcdWriter>(backplane_, path);
}

void Bench::closeVcd() {
    if (vcd_)
        vcd_->close();
}

I2cTransferRecord Bench::i2c(std::vector<I2cMessage> messages) {
    return backplane_.host().transfer(std::move(messages));
}

I2cTransferRecord Bench::writeRegisters(std::uint8_t address, std::uint8_t reg,
                                        std::vector<std::uint8_t> data) {
    data.insert(data.begin(), reg);
    return i2c({I2cMessage::write(address, std::move(data))});
}

std::vector<std::uint8_t> Bench::readRegisters(std::uint8_t address, std::uint8_t reg,
                                               std::size_t n) {
    I2cTransferRecord r =
        i2c({I2cMessage::write(address, {reg}), I2cMessage::readBytes(address, n)});
    if (r.nacked() || r.stuck || r.messages.size() != 2)
        return {};
    return r.messages[1].bytes;
}

} // namespace sim
