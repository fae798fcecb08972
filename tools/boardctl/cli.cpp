#include "cli.h"

#include <cctype>
#include <cstdlib>

namespace boardctl {

const char* const kUsage =
    "usage: boardctl [--bus DEV | --sim SOCKET] [--timeout SECONDS] [--json] COMMAND [ARGS]\n"
    "  scan                        boards at 0x20..0x27 and what they offer\n"
    "  info ADDR                   one board's descriptor\n"
    "  out ADDR [CH=0|1 ...|MASK]  read the digital outputs, or set them\n"
    "  in ADDR [CH]                read (and acknowledge) the digital inputs\n"
    "  aout ADDR CH VALUE          set an analog output\n"
    "  ain ADDR [CH]               read the analog inputs\n"
    "  thermo ADDR [CH]            read thermocouple channels (1..n) in degrees C\n"
    "  watch ADDR [--count N] [--for SECONDS] [--interval MS]\n"
    "                              keep the heartbeat going and print every change\n"
    "  --bus DEV     Linux I2C adapter (default /dev/i2c-1)\n"
    "  --sim SOCKET  a simulated backplane served by boardsim --listen SOCKET\n"
    "  --timeout SECONDS  how long boardsim may take to answer (default 5)\n"
    "  --json        output for scripts\n"
    "Exit status: 0 ok, 1 the operation failed, 2 bad usage, 130 or 143 ended by\n"
    "SIGINT or SIGTERM.\n";

long parseNumber(const std::string& word, long min, long max, const char* what) {
    bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    char* end = nullptr;
    long v = 0;
    if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0])))
        v = std::strtol(word.c_str(), &end, hex ? 16 : 10);
    if (!end || end == word.c_str() || *end != '\0')
        throw UsageError(std::string("bad ") + what + " '" + word + "'");
    if (v < min || v > max)
        throw UsageError(std::string(what) + " " + word + " out of range " + std::to_string(min) +
                         ".." + std::to_string(max));
    return v;
}

std::uint8_t parseAddress(const std::string& word) {
    return static_cast<std::uint8_t>(parseNumber(word, 0x03, 0x77, "address"));
}

OutputChange parseOutputChange(const std::vector<std::string>& words) {
    OutputChange c;
    if (words.size() == 1 && words[0].find('=') == std::string::npos) {
        c.isMask = true;
        c.mask = static_cast<std::uint16_t>(parseNumber(words[0], 0, 0xFFFF, "mask"));
        return c;
    }
    for (const std::string& w : words) {
        std::size_t eq = w.find('=');
        if (eq == std::string::npos)
            throw UsageError("expected CH=0|1, got '" + w + "'");
        auto ch = static_cast<unsigned>(parseNumber(w.substr(0, eq), 0, 15, "output channel"));
        std::string level = w.substr(eq + 1);
        if (level != "0" && level != "1")
            throw UsageError("output " + std::to_string(ch) + " needs 0 or 1, got '" + level + "'");
        auto bit = static_cast<std::uint16_t>(1u << ch);
        if ((c.on | c.off) & bit)
            throw UsageError("output " + std::to_string(ch) + " given twice");
        (level == "1" ? c.on : c.off) |= bit;
    }
    return c;
}

namespace {

std::string valueOf(const std::vector<std::string>& argv, std::size_t& i) {
    if (i + 1 >= argv.size())
        throw UsageError(argv[i] + " needs a value");
    return argv[++i];
}

double parseSeconds(const std::string& word) {
    char* end = nullptr;
    double s = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !(s > 0 && s < 1e7))
        throw UsageError("bad duration '" + word + "' (seconds)");
    return s;
}

} // namespace

Cli parseCli(const std::vector<std::string>& argv) {
    Cli c;
    bool busGiven = false;
    bool intervalGiven = false;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--bus") {
            c.bus = valueOf(argv, i);
            busGiven = true;
        } else if (a == "--sim") {
            c.sim = valueOf(argv, i);
        } else if (a == "--json") {
            c.json = true;
        } else if (a == "--help" || a == "-h") {
            c.help = true;
        } else if (a == "--count") {
            c.count = parseNumber(valueOf(argv, i), 1, 1000000000, "count");
        } else if (a == "--for") {
            c.seconds = parseSeconds(valueOf(argv, i));
        } else if (a == "--interval") {
            c.intervalMs = static_cast<unsigned>(
                parseNumber(valueOf(argv, i), 1, 60000, "interval in milliseconds"));
            intervalGiven = true;
        } else if (a == "--timeout") {
            c.timeout = parseSeconds(valueOf(argv, i));
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            throw UsageError("unknown option " + a);
        } else if (c.command.empty()) {
            c.command = a;
        } else {
            c.args.push_back(a);
        }
    }
    if (c.help)
        return c;
    if (busGiven && !c.sim.empty())
        throw UsageError("--bus and --sim exclude each other");
    if (c.command.empty())
        throw UsageError("no command given");
    bool watch = c.command == "watch";
    if (!watch && (c.count >= 0 || c.seconds >= 0 || intervalGiven))
        throw UsageError("--count, --for and --interval go with watch");
    return c;
}

} // namespace boardctl
