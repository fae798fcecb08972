// The meeting point of a chip's I2C block and the bus it sits on. A device
// is told what it notices of the lines: the bus calls it at the moments a
// device's own logic would see the conditions on SDA and SCL, and the host
// master drives the sequence. The lines are what a device reaches of the
// bus: it joins them, and holds SCL low and lets it go.
#pragma once

#include "engine/time.h"

#include <cstdint>
#include <optional>

namespace sim {

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
