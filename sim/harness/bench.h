// The bench that tests and boardsim build a simulated world on: a backplane
// with boards running their images, a recorder on every board and on the
// bus, and the host controller's side of the bus. Everything runs in virtual
// time; nothing here waits on the wall clock.
#pragma once

#include "harness/image_catalog.h"
#include "engine/simulation.h"
#include "sdk/host_chip.h"
#include "world/backplane.h"
#include "world/board.h"
#include "world/i2c_transfer.h"
#include "world/recorder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class VcdWriter;

class Bench {
public:
    Bench();
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // --- building the world ------------------------------------------------------
    // A board running the image module at `path`, or, for a path ending in
    // ".elf", the real binary on the instruction-level chip; `image` (valdor,
    // quillet, brennic) decides what hardware surrounds the chip. The board
    // is named "<image>@<slot>" in records. Throws std::invalid_argument for
    // a bad or filled slot and std::runtime_error when the module or binary
    // cannot be loaded.
    Board& insert(unsigned slot, const std::string& image, const std::string& path,
                  SlotCoding coding = SlotCoding::bySlot());
    // A board running a test program as its main instead of an image.
    Board& insertProgram(unsigned slot, BoardKind kind, std::function<int()> main,
                         SlotCoding coding = SlotCoding::bySlot());
    // Null for an empty slot.
    Board* board(unsigned slot) { return backplane_.board(slot); }

    // Powers every board not yet running, at the current time.
    void powerOn() { backplane_.powerOn(); }

    // --- time ----------------------------------------------------------------------
    // False once the simulation has stopped on an error (see error()).
    bool run(Time duration) { return sim_.runFor(duration); }
    bool runUntil(Time t) { return sim_.runUntil(t); }
    Time now() const { return sim_.now(); }
    bool failed() const { return sim_.stopped(); }
    const std::string& error() const { return sim_.error(); }

    // --- the host ------------------------------------------------------------------
    // The bus rate (standard or fast mode timing) and the kind of host
    // controller for the transfers from now on; 100 kHz and `ideal` unless
    // set; before writeVcd, which draws with the timing of its time. Throws
    // std::invalid_argument for a rate past 400 kHz.
    void setBus(std::uint32_t hz, I2cHostKind kind = I2cHostKind::Ideal, std::uint64_t seed = 1) {
        host().setRate(hz);
        host().setKind(kind, seed);
    }
    // One transfer, run to its end (the rest of the world runs meanwhile).
    I2cTransferRecord i2c(std::vector<I2cMessage> messages);
    // Writes `data` from register `reg` on: [reg, data...].
    I2cTransferRecord writeRegisters(std::uint8_t address, std::uint8_t reg,
                                     std::vector<std::uint8_t> data);
    // Selects `reg` and reads n bytes after a repeated START; empty when the
    // board did not acknowledge.
    std::vector<std::uint8_t> readRegisters(std::uint8_t address, std::uint8_t reg, std::size_t n);

    // --- probes --------------------------------------------------------------------
    Recorder& recorder() { return recorder_; }
    // Every record as it is made (a live trace).
    void setTraceSink(std::function<void(const Record&)> sink) {
        recorder_.setSink(std::move(sink));
    }

    // Waveforms of the run from now on, in a VCD file: the bus bit by bit and
    // every pin, SPI wire, LED and analog input of the boards inserted so far
    // (see world/vcd_writer.h). Throws std::runtime_error when `path` cannot
    // be written. The file is complete at closeVcd() or when the bench goes.
    void writeVcd(const std::string& path);
    void closeVcd();

    // Perturbs the schedule of every chip from now on (engine/perturbation.h):
    // the same seed gives the same run.
    void setPerturbation(std::uint64_t seed) { sim_.setPerturbation(seed); }

    Simulation& simulation() { return sim_; }
    Backplane& backplane() { return backplane_; }
    I2cBus& bus() { return backplane_.bus(); }
    HostMaster& host() { return backplane_.host(); }

private:
    Board& place(unsigned slot, BoardKind kind, const std::string& name, SlotCoding coding,
                 const ChipFactory& makeChip = {});

    Simulation sim_;
    Recorder recorder_;
    Backplane backplane_;
    std::unique_ptr<VcdWriter> vcd_; // before the boards go
};

// The host model a board runs on, for what only it has (its scheduler,
// heap, image); throws std::logic_error for a board that runs a real binary.
HostChip& hostChipOf(Board& board);

} // namespace sim
