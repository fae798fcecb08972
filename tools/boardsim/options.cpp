#include "options.h"

#include "parse.h"

#include <array>
#include <cstdlib>
#include <limits>

namespace boardsim {

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
    "  SEED gives the same run.\n";

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
