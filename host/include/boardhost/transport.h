// The host's way to the bus: combined I2C transfers, each a list of messages
// joined by repeated STARTs and ended by one STOP (as the kernel's I2C_RDWR
// and i2ctransfer do them).
#pragma once

#include "boardhost/result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace boardhost {

struct Message {
    std::uint8_t address = 0; // 7-bit
    bool read = false;
    std::vector<std::uint8_t> data; // to send; for a read, what came back
    std::size_t length = 0;         // bytes a read asks for

    static Message write(std::uint8_t address, std::vector<std::uint8_t> bytes);
    static Message readBytes(std::uint8_t address, std::size_t n);
};

class Transport {
public:
    virtual ~Transport() = default;

    // Runs one transfer. On success every read message holds exactly
    // `length` bytes. A message that is not acknowledged gives Error::Nack;
    // the caller decides whether that means an absent board.
    virtual Status transfer(std::vector<Message>& messages) = 0;

    // How the bus is named in messages: "/dev/i2c-1", "sim:/tmp/bp.sock".
    virtual std::string name() const = 0;
};

// "0x25"
std::string hexByte(unsigned value);

// Writes `bytes` (register address first) in one transfer.
Status writeBytes(Transport& bus, std::uint8_t address, std::vector<std::uint8_t> bytes);

// Writes the register address, then reads n bytes after a repeated START.
Result<std::vector<std::uint8_t>> readRegisters(Transport& bus, std::uint8_t address,
                                                std::uint8_t reg, std::size_t n);

} // namespace boardhost
