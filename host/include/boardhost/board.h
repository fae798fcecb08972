// One board on the bus, with the operations its descriptor offers. Every
// operation is one or two transfers; nothing is cached but the descriptor.
#pragma once

#include "boardhost/descriptor.h"
#include "boardhost/result.h"
#include "boardhost/thermo.h"
#include "boardhost/transport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace boardhost {

// Reads the descriptor length (0xFD, 0xFE) and the descriptor (after 0xFF).
// Error::Absent when nothing acknowledges the address.
Result<Descriptor> readDescriptor(Transport& bus, std::uint8_t address);

struct Heartbeat {
    // The board had not seen this host's heartbeat since it started: first
    // contact, or the board was reset in between.
    bool fresh = false;
};

class Board {
public:
    static constexpr std::uint8_t kFirstAddress = 0x20;
    static constexpr std::uint8_t kLastAddress = 0x27;

    static Result<Board> open(Transport& bus, std::uint8_t address);

    std::uint8_t address() const { return address_; }
    const Descriptor& descriptor() const { return descriptor_; }

    // Digital outputs: bit i is channel i.
    Result<std::uint16_t> outputs();
    Status setOutputs(std::uint16_t mask);
    // Sets the bits of `on`, clears those of `off`, writing only the output
    // bytes (0x50, 0x51) they touch. A change that sets every channel of
    // those bytes is one write; any other reads them first, then writes:
    // the board has no set or clear registers, and a combined transfer
    // cannot carry a write that depends on its own read. So it is not
    // atomic across hosts: two hosts (or two boardctl processes) changing
    // channels of one byte at once can lose one of the changes. The board
    // applies a write shortly after its STOP, so change several channels in
    // one call rather than in quick single calls.
    Status changeOutputs(std::uint16_t on, std::uint16_t off);
    Status setOutput(unsigned channel, bool on);

    // Digital inputs, bit k = input k active. Reading acknowledges the
    // change, which releases the board's input-change line.
    Result<std::uint16_t> inputs();

    // Analog outputs: 0..analogOutputMax().
    unsigned analogOutputMax() const;
    Status setAnalogOutput(unsigned channel, unsigned value);

    // Raw readings, all channels in one read.
    Result<std::uint16_t> analogInput(unsigned channel);
    Result<std::vector<std::uint16_t>> analogInputs();

    // Channels 1..n, as the board numbers them.
    Result<ThermoReading> thermocouple(unsigned channel);
    Result<std::vector<ThermoReading>> thermocouples();

    // Reads 0x05, then writes 0x81 to 0x0B; both count as host activity.
    // Sent at least every 500 ms, it keeps the board's host-lost timer quiet.
    Result<Heartbeat> heartbeat();

private:
    Board(Transport& bus, std::uint8_t address, Descriptor d)
        : bus_(&bus), address_(address), descriptor_(std::move(d)) {}

    Status checkChannel(const char* kind, unsigned channel, unsigned first, unsigned count) const;
    Result<std::vector<std::uint16_t>> readWords(std::uint8_t reg, unsigned count);
    Error named(Error e) const;

    Transport* bus_;
    std::uint8_t address_;
    Descriptor descriptor_;
};

// A mask in hexadecimal with a digit per four channels: "0x801" for 12.
std::string formatMask(std::uint16_t mask, unsigned channels);

struct FoundBoard {
    std::uint8_t address;
    Result<Descriptor> descriptor; // an error when the board answered but its descriptor failed
};

// Every board that answers in 0x20..0x27, in address order. Fails only when
// the bus itself fails.
Result<std::vector<FoundBoard>> scan(Transport& bus);

} // namespace boardhost
