// The boards' register addresses as a host uses them.
#pragma once

#include <cstdint>

namespace boardhost::reg {

constexpr std::uint8_t kHeartbeat = 0x05;
constexpr std::uint8_t kHeartbeatCommand = 0x0B;
constexpr std::uint8_t kInputs = 0x12;
constexpr std::uint8_t kOutputs = 0x50;
constexpr std::uint8_t kAnalogOutputs = 0x60;
constexpr std::uint8_t kAnalogInputs = 0x70;
constexpr std::uint8_t kThermocouples = 0x80;
constexpr std::uint8_t kDescriptorLength = 0xFD; // high byte, then 0xFE low byte
constexpr std::uint8_t kDescriptor = 0xFF;

// A heartbeat byte needs bit 7; the board copies it into 0x05 at once, and
// after a reset 0x05 holds 0x02 again.
constexpr std::uint8_t kHeartbeatByte = 0x81;

// The channels each block of registers holds: two bytes of outputs (0x50,
// 0x51) and of inputs (0x12, 0x13), eight 16-bit words of analog outputs
// (0x60..), analog inputs (0x70..) and thermocouples (0x80..0x8F).
constexpr unsigned kMaxOutputs = 16;
constexpr unsigned kMaxInputs = 16;
constexpr unsigned kMaxWordChannels = 8;

} // namespace boardhost::reg
