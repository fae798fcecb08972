// The bus timing a master drives, from the I2C-bus standard's user
// manual (NXP UM10204, rev. 6, table 10, "characteristics of the SDA and SCL
// bus lines"), the minimums for the two speed modes the boards meet:
//
//                                  standard mode    fast mode
//   fSCL    SCL clock              0..100 kHz       0..400 kHz
//   tLOW    SCL low period         4.7 us           1.3 us
//   tHIGH   SCL high period        4.0 us           0.6 us
//   tHD;STA hold after (re)START   4.0 us           0.6 us
//   tSU;STA set-up of a rep. START 4.7 us           0.6 us
//   tSU;DAT data set-up            250 ns           100 ns
//   tHD;DAT data hold              0 (max 3.45 us)  0 (max 0.9 us)
//   tSU;STO set-up of STOP         4.0 us           0.6 us
//   tBUF    bus free STOP..START   4.7 us           1.3 us
//
// A master at rate f splits its period T = 1/f evenly when the low half
// meets tLOW, and otherwise gives the low phase tLOW and the rest to the
// high phase (400 kHz: 1.3 us low, 1.2 us high). START and STOP hold and
// set-up take the high phase, SDA changes halfway into the low phase, and
// the bus stays free max(tBUF, T/2) after a STOP.
#pragma once

#include "engine/time.h"

#include <cstdint>

namespace sim {

struct I2cTiming {
    std::uint32_t hz = 100000;
    Time low = 0;     // tLOW
    Time high = 0;    // tHIGH
    Time hdSta = 0;   // tHD;STA
    Time suSta = 0;   // tSU;STA
    Time suSto = 0;   // tSU;STO
    Time busFree = 0; // tBUF
    Time hdDat = 0;   // from SCL's fall to the master's SDA change
    Time suDat = 0;   // from that change to SCL's rise

    Time period() const { return low + high; }

    // The timing a master at `hz` drives. Throws std::invalid_argument past
    // fast mode (400 kHz) or at 0.
    static I2cTiming forRate(std::uint32_t hz);
};

// UM10204's minimums for the mode a rate falls in.
struct I2cLimits {
    Time low, high, hdSta, suSta, suSto, busFree, suDat, hdDatMax;
    static I2cLimits forRate(std::uint32_t hz);
};

} // namespace sim
