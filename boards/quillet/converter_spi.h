// SPI0 for the thermocouple converters, shared by quillet and brennic, which
// wire it to different pins.
#ifndef BOARDS_QUILLET_CONVERTER_SPI_H
#define BOARDS_QUILLET_CONVERTER_SPI_H

#include <cstdint>

// 100 kHz, 16-bit frames, mode 0, MSB first; `rxPin` and `sckPin` take the
// SPI function. There is no data-out pin and no hardware chip select: the
// demultiplexer selects the converter.
void initConverterSpi(uint8_t rxPin, uint8_t sckPin);

#endif
