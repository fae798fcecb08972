// One I2C transfer as the host master asks for it and as a probe on the bus
// would record it: messages joined by repeated STARTs, then STOP.
#pragma once

#include "engine/time.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct I2cMessage {
    // How a faulty master breaks a message off: a STOP, or a repeated START
    // into the next message (a STOP when there is none), where the next byte
    // would begin; or it stops clocking (SCL held low) for `hangFor`, then
    // recovers the bus with nine clocks, SDA let go, and a STOP.
    enum class Break { None, Stop, RepeatedStart, Hang };

    std::uint8_t address = 0; // 7-bit
    bool read = false;
    std::vector<std::uint8_t> data; // what a write sends
    std::size_t length = 0;         // how many bytes a read takes

    Break breakOff = Break::None;
    // Bytes moved before the break: 0 is right after the address byte. In a
    // read, the device has been asked for the next byte (it is asked as the
    // acknowledge bit ends) and the master never clocks it.
    std::size_t breakAfter = 0;
    Time hangFor = 0;
    // A read: the master does not acknowledge this byte, yet clocks on for
    // the rest of `length` (acknowledging none).
    std::size_t nackAt = kNoNack;
    static constexpr std::size_t kNoNack = ~std::size_t{0};

    static I2cMessage write(std::uint8_t address, std::vector<std::uint8_t> bytes) {
        I2cMessage m;
        m.address = address;
        m.data = std::move(bytes);
        return m;
    }
    static I2cMessage readBytes(std::uint8_t address, std::size_t n) {
        I2cMessage m;
        m.address = address;
        m.read = true;
        m.length = n;
        return m;
    }
};

// What happened to one message on the bus.
struct I2cMessageRecord {
    std::uint8_t address = 0;
    bool read = false;
    std::size_t length = 0; // bytes the master meant to move
    Time start = 0;         // the START or repeated START that opened it
    bool addressAcked = false;
    // The master broke the message off (see I2cMessage::Break).
    I2cMessage::Break brokenOff = I2cMessage::Break::None;
    // The bytes that crossed the bus: written by the master, or read by it.
    std::vector<std::uint8_t> bytes;
    // Per byte, its acknowledge bit: the slave's for a write, the master's
    // for a read (the master does not acknowledge the last byte it wants).
    std::vector<bool> acked;

    // The master gave up on this message: its address or a data byte was not
    // acknowledged.
    bool nacked() const {
        if (!addressAcked)
            return true;
        return !read && acked.size() == bytes.size() && !acked.empty() && !acked.back();
    }
};

struct I2cTransferRecord {
    Time start = 0; // START
    Time end = 0;   // STOP seen on the bus (or the moment the master gave up)
    std::vector<I2cMessageRecord> messages;
    // The master gave up because a line stayed low past its limit (SCL in
    // the transfer, or SCL or SDA before its START); no STOP was possible.
    bool stuck = false;
    // The master stopped clocking and recovered the bus: nine clocks, then
    // STOP. `recoveryByte` is what SDA showed in the first eight of them.
    bool recovered = false;
    std::uint8_t recoveryByte = 0xFF;

    bool nacked() const {
        for (const auto& m : messages) {
            if (m.nacked())
                return true;
        }
        return false;
    }
};

// One line as a bus analyser shows it, in i2ctransfer's words:
// "w1@0x27 0xfd, r2@0x27 0x00 0x58 (390us)", "w1@0x30 nack (105us)".
std::string describe(const I2cTransferRecord& transfer);

} // namespace sim
