// A stand-in for the few SDK calls that the select-line driver and the
// converter reader make, so that their logic is tested without a chip: the
// SIO output and direction registers as plain words with a log of every
// output write, the SPI receive path as a list of frames to answer, and
// printf caught as text.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace fake_sdk {

struct State {
    uint32_t sio = 0;                // pins handed to software control
    uint32_t dir = 0;                // 1 = output
    uint32_t out = 0;                // output register
    std::vector<uint32_t> outWrites; // output register after each write
    std::deque<uint16_t> frames;     // next SPI frames to receive
    std::vector<uint16_t> sent;      // words sent while receiving
    unsigned spiCalls = 0;
    const void* lastSpi = nullptr;
    std::string console;
};

State& state();
void reset();

} // namespace fake_sdk
