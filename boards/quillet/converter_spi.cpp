#include "boards/quillet/converter_spi.h"

#include "hardware/gpio.h"
#include "hardware/spi.h"

namespace {
constexpr uint32_t SPI_HZ = 100000;
} // namespace

void initConverterSpi(uint8_t rxPin, uint8_t sckPin) {
    spi_init(spi0, SPI_HZ);
    // The SDK changes the format with the block disabled and restores its
    // enable state afterwards.
    spi_set_format(spi0, 16, SPI_CPOL_0, SPI_CPHA_0, SPI_MSB_FIRST);
    gpio_set_function(rxPin, GPIO_FUNC_SPI);
    gpio_set_function(sckPin, GPIO_FUNC_SPI);
    // A converter that does not answer leaves the data line undriven. The
    // pad's reset pull-down would read that as 0x0000, a plausible 0.00
    // degrees; with the pull-up it reads 0xFFFF, which the frame's open flag
    // reports as THERMO_ERR_OPEN.
    gpio_set_pulls(rxPin, true, false);
}
