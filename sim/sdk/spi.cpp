// hardware_spi on the SPI0 model. SPI1 is not wired on any board.
#include "sdk/runtime.h"

#include "hardware/spi.h"

#include <vector>

using namespace sim;
using namespace sim::sdk;

namespace {

Spi& block(Chip& c, const spi_inst_t* spi) {
    if (spi != spi0)
        c.failWith("only SPI0 is modelled");
    return c.spi;
}

} // namespace

extern "C" {

uint spi_init(spi_inst_t* spi, uint baudrate) {
    Chip& c = chip();
    Spi& s = block(c, spi);
    s.reset();
    uint rate = s.setBaudrate(baudrate);
    s.setFormat(8, false, false, true);
    s.setEnabled(true);
    done(c);
    return rate;
}

void spi_deinit(spi_inst_t* spi) {
    Chip& c = chip();
    Spi& s = block(c, spi);
    s.setEnabled(false);
    s.reset();
    done(c);
}

uint spi_set_baudrate(spi_inst_t* spi, uint baudrate) {
    Chip& c = chip();
    uint rate = block(c, spi).setBaudrate(baudrate);
    done(c);
    return rate;
}

uint spi_get_baudrate(const spi_inst_t* spi) {
    Chip& c = chip();
    uint rate = block(c, spi).baudrate();
    done(c);
    return rate;
}

uint spi_get_index(const spi_inst_t* spi) {
    return spi == spi1 ? 1u : 0u;
}

void spi_set_format(spi_inst_t* spi, uint data_bits, spi_cpol_t cpol, spi_cpha_t cpha,
                    spi_order_t order) {
    Chip& c = chip();
    if (data_bits < 4 || data_bits > 16)
        c.failWith("SPI frames are 4 to 16 bits long");
    // The format is written with the block disabled; its enable comes back.
    Spi& s = block(c, spi);
    const bool enabled = s.enabled();
    s.setEnabled(false);
    s.setFormat(data_bits, cpol == SPI_CPOL_1, cpha == SPI_CPHA_1, order == SPI_MSB_FIRST);
    s.setEnabled(enabled);
    done(c);
}

int spi_write16_read16_blocking(spi_inst_t* spi, const uint16_t* src, uint16_t* dst, size_t len) {
    Chip& c = chip();
    block(c, spi).transfer(src, 0, dst, len);
    done(c);
    return static_cast<int>(len);
}

int spi_write16_blocking(spi_inst_t* spi, const uint16_t* src, size_t len) {
    return spi_write16_read16_blocking(spi, src, nullptr, len);
}

int spi_read16_blocking(spi_inst_t* spi, uint16_t repeated_tx_data, uint16_t* dst, size_t len) {
    Chip& c = chip();
    block(c, spi).transfer(nullptr, repeated_tx_data, dst, len);
    done(c);
    return static_cast<int>(len);
}

int spi_write_read_blocking(spi_inst_t* spi, const uint8_t* src, uint8_t* dst, size_t len) {
    std::vector<std::uint16_t> out(src, src + len);
    std::vector<std::uint16_t> in(len);
    spi_write16_read16_blocking(spi, out.data(), in.data(), len);
    for (size_t i = 0; i < len; ++i)
        dst[i] = static_cast<uint8_t>(in[i]);
    return static_cast<int>(len);
}

int spi_write_blocking(spi_inst_t* spi, const uint8_t* src, size_t len) {
    std::vector<std::uint16_t> out(src, src + len);
    return spi_write16_read16_blocking(spi, out.data(), nullptr, len);
}

int spi_read_blocking(spi_inst_t* spi, uint8_t repeated_tx_data, uint8_t* dst, size_t len) {
    std::vector<std::uint16_t> in(len);
    spi_read16_blocking(spi, repeated_tx_data, in.data(), len);
    for (size_t i = 0; i < len; ++i)
        dst[i] = static_cast<uint8_t>(in[i]);
    return static_cast<int>(len);
}

} // extern "C"
