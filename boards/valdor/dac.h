// Driver of the SPI digital-to-analog converter: one 16-bit command word per
// value, framed by its chip select.
#ifndef BOARDS_VALDOR_DAC_H
#define BOARDS_VALDOR_DAC_H

#include <cstdint>

#include "hardware/spi.h"

class DAC {
public:
    enum Type : uint8_t {
        SINGLE_8BIT = 0,
        SINGLE_10BIT = 1,
        SINGLE_12BIT = 2,
        DUAL_8BIT = 3,
        DUAL_10BIT = 4,
        DUAL_12BIT = 5,
    };
    enum Channel : uint8_t { CH_A = 0, CH_B = 1 };

    // Takes the chip select (idle high); the SPI block is set up by the owner.
    DAC(Type type, unsigned int csPin, spi_inst_t* spi);

    // Clamps the value to the converter's range and sends it; false, and
    // nothing sent, for a channel the converter does not have.
    bool set(Channel channel, uint16_t value);

private:
    static constexpr uint8_t CHANNELS_MAX = 2;

    Type _type;
    uint8_t _channels = 0;
    uint8_t _resolution = 0;
    uint16_t _maxValue = 0;
    uint8_t _dataShift = 0;
    uint8_t _activeBit[CHANNELS_MAX] = {1, 1};
    uint8_t _gainBit[CHANNELS_MAX] = {1, 1};
    uint8_t _bufferBit[CHANNELS_MAX] = {1, 1};
    uint16_t _values[CHANNELS_MAX] = {0, 0};
    uint32_t _csPin;
    spi_inst_t* _spi;
};

#endif
