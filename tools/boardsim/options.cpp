#include "options.h"

#include "harness/command_words.h"

#include "world/i2c_host_model.h"

#include <array>
#include <cstdlib>
#include <limits>

namespace boardsim {

using sim::scenario::parseInteger;
using sim::scenario::UsageError;

const char* const kUsage =
    "usage: boardsim [--trace] [--script FILE]\n"
    "                [--listen SOCKET [--speed X]] [--vcd FILE] BOARD...\n"
    "  BOARD is IMAGE (slot 0), IMAGE@SLOT (0..7), IMAGE@raw=N (coding reading N)\n"
    "  or IMAGE@none (no coding voltage); IMAGE is valdor, quillet, brennic, a\n"
    "  path to an image module, or a path to a real binary (.elf of the rp2040\n"
    "  build, run instruction by instruction; its name says the board, e.g.\n"
    "  build/rp2040/valdor.elf). Commands come from FILE or standard input.\n"
    "  --listen SOCKET serves the backplane on a Unix socket instead: clients\n"
    "  send commands line by line, each answered by its output lines and then\n"
    "  ok or error: MESSAGE; the world runs with the wall clock times X\n"
    "  (--speed, 1 by default; 0: only run and i2c move time).\n"
    "  --vcd FILE writes the run's waveforms (bus, pins, SPI, LEDs, analog\n"
    "  inputs) as a Value Change Dump for GTKWave or PulseView.\n"
    "  --perturb SEED perturbs the schedule of every chip (which core goes\n"
    "  first, code that takes time, late interrupts and wake-ups); the same\n"
    "  SEED gives the same run.\n"
    "  --bus-hz HZ runs the bus at HZ (1..400000, 100000 by default), with the\n"
    "  I2C-bus timing of standard or fast mode.\n"
    "  --host ideal|bcm2835|bitbang|nostretch picks the host controller: one\n"
    "  that honours every clock stretch (default), the Raspberry Pi's, Linux\n"
    "  i2c-gpio with preemption pauses (--host-seed N), or one that ignores\n"
    "  stretching.\n";

BoardArgument parseBoard(const std::string& arg) {
    BoardArgument b;
    std::size_t at = arg.rfind('@');
    b.image = arg.substr(0, at);
    if (b.image.empty())
        throw UsageError("board '" + arg + "' names no image");
    if (at == std::string::npos)
        return b;
    std::string where = arg.substr(at + 1);
    if (where == "none") {
        b.coding = BoardArgument::Coding::None;
    } else if (where.compare(0, 4, "raw=") == 0) {
        b.coding = BoardArgument::Coding::Raw;
        b.raw = static_cast<std::uint16_t>(parseInteger(where.substr(4), 0, 4095, "raw reading"));
    } else {
        b.slot = static_cast<unsigned>(parseInteger(where, 0, 7, "slot"));
    }
    return b;
}

namespace {

// A factor of the wall clock: 0 (time moves only by commands) up to a million.
double parseSpeed(const std::string& word) {
    char* end = nullptr;
    double x = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !(x >= 0 && x <= 1e6))
        throw UsageError("bad speed '" + word + "' (a factor from 0 to 1e6)");
    return x;
}

} // namespace

Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    bool speedGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--trace") {
            o.trace = true;
        } else if (a == "--listen") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw UsageError("--listen needs a socket path");
            o.listen = args[++i];
        } else if (a == "--speed") {
            if (i + 1 >= args.size())
                throw UsageError("--speed needs a factor");
            o.speed = parseSpeed(args[++i]);
            speedGiven = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--script") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw UsageError("--script needs a file");
            o.script = args[++i];
        } else if (a == "--vcd") {
            if (i + 1 >= args.size())
                throw UsageError("--vcd needs a file");
            o.vcd = args[++i];
        } else if (a == "--perturb") {
            if (i + 1 >= args.size())
                throw UsageError("--perturb needs a seed");
            o.perturb = true;
            o.perturbSeed = static_cast<std::uint64_t>(
                parseInteger(args[++i], 0, std::numeric_limits<long>::max(), "seed"));
        } else if (a == "--bus-hz") {
            if (i + 1 >= args.size())
                throw UsageError("--bus-hz needs a rate");
            o.busHz = static_cast<std::uint32_t>(parseInteger(args[++i], 1, 400000, "bus rate"));
        } else if (a == "--host") {
            if (i + 1 >= args.size() || !sim::hostKindNamed(args[i + 1]))
                throw UsageError("--host takes ideal, bcm2835, bitbang or nostretch");
            o.host = args[++i];
        } else if (a == "--host-seed") {
            if (i + 1 >= args.size())
                throw UsageError("--host-seed needs a seed");
            o.hostSeed = static_cast<std::uint64_t>(
                parseInteger(args[++i], 0, std::numeric_limits<long>::max(), "seed"));
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError("unknown option " + a);
        } else {
            o.boards.push_back(parseBoard(a));
        }
    }
    if (o.boards.empty() && !o.help)
        throw UsageError("no board given");
    if (!o.listen.empty() && !o.script.empty())
        throw UsageError("--listen and --script exclude each other");
    if (speedGiven && o.listen.empty())
        throw UsageError("--speed goes with --listen");
    return o;
}

std::vector<unsigned> assignSlots(const std::vector<BoardArgument>& boards) {
    constexpr unsigned kSlots = 8;
    std::array<const BoardArgument*, kSlots> taken{};
    std::vector<unsigned> slots(boards.size(), kSlots);
    for (std::size_t i = 0; i < boards.size(); ++i) {
        const BoardArgument& b = boards[i];
        if (b.coding != BoardArgument::Coding::Slot)
            continue;
        if (taken[b.slot])
            throw UsageError("slot " + std::to_string(b.slot) + " is taken by " +
                             taken[b.slot]->image + " already");
        taken[b.slot] = &b;
        slots[i] = b.slot;
    }
    for (std::size_t i = 0; i < boards.size(); ++i) {
        if (slots[i] != kSlots)
            continue;
        unsigned free = 0;
        while (free < kSlots && taken[free])
            ++free;
        if (free == kSlots)
            throw UsageError("no free slot left for " + boards[i].image);
        taken[free] = &boards[i];
        slots[i] = free;
    }
    return slots;
}

} // namespace boardsim
