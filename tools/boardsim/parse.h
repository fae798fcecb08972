// The small languages of boardsim's command lines: numbers, durations,
// i2ctransfer-style messages, and how times are printed.
#pragma once

#include "engine/time.h"
#include "world/i2c_transfer.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace boardsim {

// A command or argument that cannot be used; the message says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The words of a line, without the comment that `#` starts.
std::vector<std::string> splitWords(const std::string& line);

// Decimal or 0x-prefixed hexadecimal, within [min, max].
long parseInteger(const std::string& word, long min, long max, const char* what);

// A number with its unit: ns, us, ms or s (10us, 5ms, 1.5s).
sim::Time parseDuration(const std::string& word);

// One transfer in i2ctransfer's syntax: w<N>[@<addr>] <bytes...> and
// r<N>[@<addr>]. A message without an address goes to the one before it;
// `address` holds the address to start from (-1: none yet) and comes back
// with the last one used. A data byte with a suffix fills the rest of its
// message: 0x10+ counts up, 0x10- down, 0x10= repeats.
std::vector<sim::I2cMessage> parseI2cTransfer(const std::vector<std::string>& words, int& address);

// Microseconds, with the nanoseconds as a fraction when there are any.
std::string formatMicroseconds(sim::Time t);

// "0x12 0x34"
std::string formatBytes(const std::vector<std::uint8_t>& bytes);

} // namespace boardsim
