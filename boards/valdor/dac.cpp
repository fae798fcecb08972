#include "boards/valdor/dac.h"

#include "boards/valdor/dac_word.h"
#include "hardware/gpio.h"
#include "pico/platform.h"

namespace {
// Settling time around the chip-select edges.
constexpr uint32_t CS_PAUSE_CYCLES = 3;
} // namespace

DAC::DAC(Type type, unsigned int csPin, spi_inst_t* spi) : _type(type), _csPin(csPin), _spi(spi) {
    gpio_init(_csPin);
    gpio_put(_csPin, 1); // idle before it drives: no false select
    gpio_set_dir(_csPin, GPIO_OUT);
    // A type outside the table leaves the converter with no channels, so
    // every set() is refused and no frame is ever sent.
    const DacVariant variant = dacVariant(_type);
    _channels = variant.channels;
    _resolution = variant.resolution;
    _maxValue = variant.maxValue;
    _dataShift = variant.dataShift;
}

bool DAC::set(Channel channel, uint16_t value) {
    if (channel >= _channels) {
        return false;
    }
    const uint16_t v = value < _maxValue ? value : _maxValue;
    _values[channel] = v;
    const uint16_t word = dacCommandWord(channel, _bufferBit[channel], _gainBit[channel],
                                         _activeBit[channel], v, _dataShift);
    busy_wait_at_least_cycles(CS_PAUSE_CYCLES);
    gpio_put(_csPin, 0);
    busy_wait_at_least_cycles(CS_PAUSE_CYCLES);
    spi_write16_blocking(_spi, &word, 1);
    busy_wait_at_least_cycles(CS_PAUSE_CYCLES);
    gpio_put(_csPin, 1);
    busy_wait_at_least_cycles(CS_PAUSE_CYCLES);
    return true;
}
