// boardctl's command line: [--bus DEV | --sim SOCKET] [--timeout SECONDS]
// [--json] COMMAND ARGS, with watch's --count, --for and --interval anywhere
// on the line.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace boardctl {

// A command line that cannot be used; exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Cli {
    std::string bus = "/dev/i2c-1";
    std::string sim; // non-empty: the simulator's socket instead of the bus
    bool json = false;
    double timeout = 5; // seconds boardsim may take to answer
    bool help = false;
    std::string command;
    std::vector<std::string> args;
    // watch
    long count = -1;          // events to print, -1: no limit
    double seconds = -1;      // how long, -1: until interrupted
    unsigned intervalMs = 20; // between polls
};

// Throws UsageError.
Cli parseCli(const std::vector<std::string>& argv);

// Decimal or 0x-prefixed hexadecimal within [min, max]; throws UsageError.
long parseNumber(const std::string& word, long min, long max, const char* what);

// A 7-bit address.
std::uint8_t parseAddress(const std::string& word);

// `out` arguments: CH=0|1 pairs (channel, level), or one mask.
struct OutputChange {
    bool isMask = false;
    std::uint16_t mask = 0;
    std::uint16_t on = 0;
    std::uint16_t off = 0;
};
OutputChange parseOutputChange(const std::vector<std::string>& words);

extern const char* const kUsage;

} // namespace boardctl
