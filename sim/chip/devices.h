// What the world outside the chip implements, or puts on the pins, to meet
// the blocks: the level a device drives on a wire, an ADC input's source, a
// device on SPI0's wires, and a device on the I2C bus lines. A device is
// told what it notices of its wires at the moments its own logic would.
#pragma once

#include "engine/time.h"

#include <cstdint>
#include <optional>

namespace sim {

// What one side puts on a wire: nothing, or a level.
enum class Drive : std::uint8_t { None, Low, High };

// --- ADC ----------------------------------------------------------------------

class AdcSource {
public:
    virtual ~AdcSource() = default;
    // The raw 12-bit result the input converts to now, or nothing when the
    // world does not drive it.
    virtual std::optional<std::uint16_t> sample(unsigned input) = 0;
};

// --- SPI ----------------------------------------------------------------------

struct SpiFrame {
    Time start = 0;
    Time end = 0;
    unsigned bits = 8;
    bool cpol = false;
    bool cpha = false;
    bool msbFirst = true;
    std::uint16_t mosi = 0; // the word on the device's data-in wire
};

// The device's wires, as GPIO numbers of the chip; -1 where not connected.
struct SpiWiring {
    int sck = -1;
    int sdi = -1; // device data in (the master's TX)
    int sdo = -1; // device data out (the master's RX)
};

class SpiDevice {
public:
    virtual ~SpiDevice() = default;
    // One frame clocked on the device's clock wire. Returns the word the
    // device shifts out on its data-out wire, or nothing when it leaves that
    // wire alone.
    virtual std::optional<std::uint16_t> clock(const SpiFrame& frame) = 0;
};

// --- I2C ----------------------------------------------------------------------
// The meeting point of a chip's I2C block and the bus it sits on: the bus
// calls a device at the moments a device's own logic would see the
// conditions on SDA and SCL, and the host master drives the sequence. The
// lines are what a device reaches of the bus: it joins them, and holds SCL
// low and lets it go.

class I2cDevice {
public:
    // Answer to a byte written by the master. Stretch: the device holds SCL
    // low and answers once it lets SCL go (see stretchedAnswer).
    enum class Answer { Ack, Nack, Stretch };

    virtual ~I2cDevice() = default;

    // SDA fell while SCL was high: a START, or a repeated START inside a
    // transfer.
    virtual void startCondition(bool repeated) = 0;
    // SDA rose while SCL was high.
    virtual void stopCondition() = 0;
    // The eight bits of the address byte are in; true pulls SDA low in the
    // acknowledge bit.
    virtual bool addressByte(std::uint8_t address, bool read) = 0;
    // A data byte from the master is in (only the devices that acknowledged
    // the address hear it).
    virtual Answer receiveByte(std::uint8_t byte) = 0;
    // The master wants the next byte. No value: the device holds SCL low and
    // releases it once it has one.
    virtual std::optional<std::uint8_t> transmitByte() = 0;
    // After a Stretch, once SCL is let go: true pulls SDA low in the
    // acknowledge bit of the byte it held.
    virtual bool stretchedAnswer() { return true; }
    // The master's acknowledge bit after a byte the device sent.
    virtual void masterAcknowledge(bool ack) = 0;
    // Its line timing: how long after SCL falls it changes SDA when it
    // drives it, how long before letting SCL go after a hold it puts the
    // bit on SDA, and the longest pulse its input filter drops.
    virtual Time sdaHoldTime() const { return 0; }
    virtual Time sdaSetupTime() const { return 0; }
    virtual Time spikeFilter() const { return 0; }
    // The bus goes away before the device does.
    virtual void busRemoved() {}
};

class I2cLines {
public:
    virtual ~I2cLines() = default;
    virtual void attach(I2cDevice& device) = 0;
    virtual void detach(I2cDevice& device) = 0;
    // Clock stretching: SCL is low while any device holds it.
    virtual void holdScl(I2cDevice& device) = 0;
    virtual void releaseScl(I2cDevice& device) = 0;
};

} // namespace sim
