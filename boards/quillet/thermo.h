// Reader of the thermocouple converter that the demultiplexer selects: one
// SPI frame in, a temperature in hundredths of a degree Celsius or an error
// code out.
#ifndef BOARDS_QUILLET_THERMO_H
#define BOARDS_QUILLET_THERMO_H

#include <cstdint>

#include "hardware/spi.h"

// Every error code has bit 15 set; no temperature has.
constexpr uint16_t THERMO_ERR_OPEN = 0x8004;     // thermocouple input open
constexpr uint16_t THERMO_ERR_RANGE = 0x8010;    // 327.75 degrees or more
constexpr uint16_t THERMO_ERR_NOT_IMPL = 0xC000; // converter type not implemented

class Thermo {
public:
    enum ThermoIC : uint8_t {
        // One 16-bit frame, MSB first: bit 15 a sign bit that is always 0,
        // bits 14..3 the reading in 0.25 degree steps, bit 2 set for an open
        // input, bit 1 a device ID that is always 0, bit 0 undriven.
        THERMO_IC_12BIT = 0,
    };

    // Touches no hardware: SPI0 is set up by the board task.
    explicit Thermo(ThermoIC ic);

    // Reads the converter selected right now.
    uint16_t read();

    // The result of one THERMO_IC_12BIT frame.
    static uint16_t decode12Bit(uint16_t frame);

private:
    ThermoIC _ic;
    spi_inst_t* _spi;
};

#endif
