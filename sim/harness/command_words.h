// The words of the scenario language (boardsim's command lines): numbers,
// durations, i2ctransfer-style messages, and how they are printed.
#pragma once

#include "engine/time.h"
#include "world/i2c_transfer.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim::scenario {

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
// message: 0x10+ counts up, 0x10- down, 0x10= repeats. After a message, a
// faulty master's words: stop=N or sr=N breaks it off after N bytes with a
// STOP or a repeated START, hang=N:DURATION stops clocking there for that
// long and then recovers the bus, nack=N refuses byte N of a read.
std::vector<sim::I2cMessage> parseI2cTransfer(const std::vector<std::string>& words, int& address);
// The words parseI2cTransfer reads back to the same messages; an address
// only where it changes.
std::string formatI2cTransfer(const std::vector<sim::I2cMessage>& messages);

// In the largest unit that keeps it whole (2s, 5ms, 120us, 10ns), or in
// microseconds with a fraction (12.5us).
std::string formatDuration(sim::Time t);

// Microseconds, with the nanoseconds as a fraction when there are any.
std::string formatMicroseconds(sim::Time t);

// "0x12 0x34"
std::string formatBytes(const std::vector<std::uint8_t>& bytes);

} // namespace sim::scenario
