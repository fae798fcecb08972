// What a block of the chip reaches outside itself, as the chip around it
// provides it: virtual time and events, the chip's interrupt inputs, its
// reset and trace, and the observers that watch the chip. No other block is
// reached through it: a block that drives pins or prints is given the GPIO
// or the console on its own.
#pragma once

#include "engine/simulation.h"
#include "engine/time.h"

#include <functional>
#include <string>

namespace sim {

class Chip;
class ChipObserver;

class BlockHost {
public:
    BlockHost(Simulation& sim, Chip& chip) : sim_(sim), chip_(chip) {}
    BlockHost(const BlockHost&) = delete;
    BlockHost& operator=(const BlockHost&) = delete;

    Simulation& simulation() { return sim_; }
    Time now() const { return sim_.now(); }
    // Time since the chip's timer last started counting from zero.
    Time sinceReset() const;
    // A block's interrupt output; level-sensitive, as on the chip.
    void setIrqLine(unsigned irq, bool level);
    void setIrqLine(int core, unsigned irq, bool level);
    // The whole chip resets (the watchdog's doing).
    void resetChip(const std::string& cause);
    void trace(const std::string& what);
    // Tells every observer of the chip, with the chip it watches.
    void notifyObservers(const std::function<void(ChipObserver&, Chip&)>& tell);

private:
    Simulation& sim_;
    Chip& chip_;
};

} // namespace sim
