// The backplane: slots 0..7 on one I2C bus with the host controller's master
// at 100 kHz, each slot with its coding divider and, when filled, a board.
// The boards' bus pins are wired to the bus lines: a board that turns GPIO20
// or GPIO21 into an ordinary output and drives it low pulls the line low for
// everybody.
#pragma once

#include "engine/simulation.h"
#include "world/board.h"
#include "world/host_master.h"
#include "world/i2c_bus.h"

#include <array>
#include <memory>
#include <string>

namespace sim {

class Backplane {
public:
    static constexpr unsigned kSlots = 8;

    // Boards get their chips from `makeChip` unless insert() is given
    // another factory.
    Backplane(Simulation& sim, ChipFactory makeChip);
    ~Backplane();
    Backplane(const Backplane&) = delete;
    Backplane& operator=(const Backplane&) = delete;

    Simulation& simulation() { return sim_; }
    I2cBus& bus() { return bus_; }
    HostMaster& host() { return host_; }

    // Puts a board of the given kind into an empty slot; its chip is not yet
    // powered and runs nothing until given an image or a main. Throws
    // std::invalid_argument for a bad or filled slot.
    Board& insert(unsigned slot, BoardKind kind, const std::string& name,
                  SlotCoding coding = SlotCoding::bySlot(), const ChipFactory& makeChip = {});
    // Null for an empty slot.
    Board* board(unsigned slot);

    // Powers every board that is not running yet.
    void powerOn();

private:
    Simulation& sim_;
    ChipFactory makeChip_;
    I2cBus bus_;
    HostMaster host_;
    std::array<std::unique_ptr<Board>, kSlots> slots_;
    std::array<int, kSlots> probes_{};
};

} // namespace sim
