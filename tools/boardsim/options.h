// boardsim's command line: [--trace] [--script FILE] [--vcd FILE] BOARD...
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

// IMAGE, IMAGE@SLOT, IMAGE@raw=N or IMAGE@none.
struct BoardArgument {
    enum class Coding { Slot, Raw, None };
    std::string image;
    Coding coding = Coding::Slot;
    unsigned slot = 0;     // for Coding::Slot
    std::uint16_t raw = 0; // for Coding::Raw
};

struct Options {
    bool trace = false;
    bool help = false;
    bool perturb = false; // --perturb SEED: a perturbed schedule
    std::uint64_t perturbSeed = 0;
    std::string script;           // empty: standard input
    std::string listen;           // a socket to serve the backplane on instead
    double speed = 1.0;           // virtual seconds per wall-clock second with --listen
    std::string vcd;              // waveforms of the run, when not empty
    std::uint32_t busHz = 100000; // --bus-hz
    std::string host = "ideal";   // --host: the kind of host controller
    std::uint64_t hostSeed = 1;   // --host-seed: a bit-banging host's pauses
    std::vector<BoardArgument> boards;
};

// Throws UsageError.
Options parseOptions(const std::vector<std::string>& args);
BoardArgument parseBoard(const std::string& arg);

// Slots for the boards, in their order: IMAGE and IMAGE@SLOT take their
// slot (IMAGE is slot 0); boards with a raw or no coding voltage take the
// lowest slots left. Throws UsageError when two boards want one slot.
std::vector<unsigned> assignSlots(const std::vector<BoardArgument>& boards);

extern const char* const kUsage;

} // namespace boardsim
