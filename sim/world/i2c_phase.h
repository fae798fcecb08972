// The host master's steps on the bus as it takes them, for whoever draws the
// lines bit by bit. Each step carries the master's own time for it (see the
// timing in host_master.h).
#pragma once

#include "engine/time.h"

#include <cstdint>

namespace sim {

struct I2cPhase {
    enum class Kind {
        Start,         // SDA falls while SCL is high
        RepeatedStart, // the same, one clock period after an acknowledge bit ended
        Address,       // the address byte's eighth bit is in; `ack` is the answer
        Write,         // a data byte's eighth bit is in the receiving devices
        WriteAck,      // the acknowledge bit of that byte begins (late if stretched)
        Read,          // a byte the device sends begins (SCL fell; its first
                       // rise is tLOW later, or at the release of a hold)
        ReadAck,       // the master's acknowledge bit after a read byte ends
        Stop,          // SDA rises while SCL is high
        GaveUp,        // the master let go of a transfer held too long
        Recovery,      // the eighth of nine recovery clocks is in; `byte` is what
                       // SDA showed, `ack` whether a device held it low in the ninth
    };

    Kind kind = Kind::Start;
    Time at = 0;
    std::uint8_t byte = 0; // Address: address << 1 | read; Write, Read: the data
    bool ack = false;
    // How long after SCL falls the devices change SDA (Address, WriteAck,
    // Read: the bits and acknowledges a device drives).
    Time slaveHold = 0;
    // Read: SCL was held low by a device until `release` (0: it was not);
    // the master's clocks that ended before it never showed, and the one it
    // ends in rises at the release. `sdaAt` is when the first bit showed.
    // WriteAck: the same for a held acknowledge bit, `fall` its end.
    // Read: `fall` is SCL's fall that began the byte, after any pause of
    // the master's own.
    Time release = 0;
    Time sdaAt = 0;
    Time fall = 0;
};

} // namespace sim
