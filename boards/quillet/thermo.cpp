#include "boards/quillet/thermo.h"

#include <cstdio>

Thermo::Thermo(ThermoIC ic) : _ic(ic), _spi(spi0) {}

uint16_t Thermo::read() {
    if (_ic != THERMO_IC_12BIT) {
        printf("[WARN] Thermo::_ic %i (noch) nicht implementiert\n", static_cast<int>(_ic));
        return THERMO_ERR_NOT_IMPL;
    }
    uint16_t frame = 0;
    spi_read16_blocking(_spi, 0, &frame, 1);
    return decode12Bit(frame);
}

// A converter that does not answer leaves the data line to its pull-up (set
// with the SPI pins), so it reads 0xFFFF, which the open flag reports. Of the
// converter the frame is checked for nothing else: bits 1 and 0 are dropped
// with the shift. A line held low reads 0x0000, the very frame of a
// converter at 0.00 degrees: that fault the frame cannot show.
uint16_t Thermo::decode12Bit(uint16_t frame) {
    if ((frame & 0x0004u) != 0) {
        return THERMO_ERR_OPEN;
    }
    // Bits 15..3: a set bit 15 counts as 4096 and so lands out of range.
    const uint32_t reading = frame >> 3;
    const uint32_t hundredths = 100u * reading;
    if (hundredths >= 0x20000u) {
        return THERMO_ERR_RANGE;
    }
    return static_cast<uint16_t>(hundredths / 4);
}
