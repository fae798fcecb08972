// hardware_spi on the SPI0 model. SPI1 is not wired on any board.
#include "sdk/runtime.h"

#include "hardware/spi.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

using namespace sim;
using namespace sim::sdk;

namespace {

Spi& block(HostChip& c, const spi_inst_t* spi) {
    if (spi != spi0)
        c.failWith("only SPI0 is modelled");
    return c.spi;
}

void setEnable(Spi& s, bool on) {
    const std::uint32_t cr1 = s.read(Spi::kCr1);
    s.write(Spi::kCr1, on ? cr1 | Spi::kCr1Sse : cr1 & ~Spi::kCr1Sse);
}

// The smallest even prescaler that leaves the post-divider (1..256) room to
// reach the rate, then the largest post-divider whose rate does not exceed
// it; returns the rate they give (100 kHz asked gives 122070 Hz).
uint setBaudrate(Spi& s, uint baudrate) {
    const std::uint64_t freq = Spi::kPeripheralClockHz;
    const std::uint64_t rate = std::max(1u, baudrate);
    unsigned prescale = 2;
    while (prescale < 254 && freq >= (prescale + 2) * 256 * rate)
        prescale += 2;
    unsigned postdiv = 256;
    while (postdiv > 1 && freq / (std::uint64_t{prescale} * (postdiv - 1)) <= rate)
        --postdiv;
    s.write(Spi::kCpsr, prescale);
    s.write(Spi::kCr0, (s.read(Spi::kCr0) & 0xFFu) | (postdiv - 1) << Spi::kCr0ScrShift);
    return baudrate ? static_cast<uint>(freq / (prescale * postdiv)) : 0;
}

// Motorola frames (FRF 0), the post-divider kept. The PL022 has no LSB-first
// mode: the order is ignored, as the SDK does.
void setFormat(HostChip& c, Spi& s, uint bits, bool cpol, bool cpha, bool msbFirst) {
    std::uint32_t cr0 = (s.read(Spi::kCr0) & 0xFF00u) | (bits - 1);
    cr0 |= (cpol ? Spi::kCr0Spo : 0u) | (cpha ? Spi::kCr0Sph : 0u);
    s.write(Spi::kCr0, cr0);
    if (!msbFirst)
        c.trace("spi0: LSB-first asked for; the PL022 shifts MSB first regardless");
}

// The SDK's blocking loop: at most a FIFO's worth of words in flight, so
// that none is lost. When neither FIFO lets it go on, the core spins until
// the frame on the wire ends. `tx` null sends `repeated` every frame; `rx`
// may be null.
void exchange(HostChip& c, Spi& s, const uint16_t* tx, uint16_t repeated, uint16_t* rx,
              size_t len) {
    if ((s.read(Spi::kCr1) & Spi::kCr1Sse) == 0 || s.read(Spi::kCpsr) < 2)
        c.failWith("spi0 used while the block is disabled: the transfer would never finish");
    size_t sent = 0;
    size_t got = 0;
    while (got < len) {
        const std::uint32_t sr = s.read(Spi::kSr);
        bool moved = false;
        if (sent < len && (sr & Spi::kSrTnf) != 0 && sent < got + Spi::kFifoDepth) {
            s.write(Spi::kDr, tx ? tx[sent] : repeated);
            ++sent;
            moved = true;
        }
        if ((sr & Spi::kSrRne) != 0) {
            const auto word = static_cast<uint16_t>(s.read(Spi::kDr));
            if (rx)
                rx[got] = word;
            ++got;
            moved = true;
        }
        if (moved)
            continue;
        const std::optional<sim::Time> end = s.frameEndsAt();
        if (!end)
            c.failWith("spi0 stopped shifting in the middle of a transfer");
        c.busyWaitUntil(*end);
    }
}

} // namespace

extern "C" {

uint spi_init(spi_inst_t* spi, uint baudrate) {
    HostChip& c = chip();
    Spi& s = block(c, spi);
    s.reset();
    uint rate = setBaudrate(s, baudrate);
    setFormat(c, s, 8, false, false, true);
    setEnable(s, true);
    done(c);
    return rate;
}

void spi_deinit(spi_inst_t* spi) {
    HostChip& c = chip();
    Spi& s = block(c, spi);
    setEnable(s, false);
    s.reset();
    done(c);
}

uint spi_set_baudrate(spi_inst_t* spi, uint baudrate) {
    HostChip& c = chip();
    uint rate = setBaudrate(block(c, spi), baudrate);
    done(c);
    return rate;
}

uint spi_get_baudrate(const spi_inst_t* spi) {
    HostChip& c = chip();
    Spi& s = block(c, spi);
    const std::uint32_t prescale = s.read(Spi::kCpsr);
    const std::uint32_t postdiv = (s.read(Spi::kCr0) >> Spi::kCr0ScrShift) + 1;
    done(c);
    return prescale ? static_cast<uint>(Spi::kPeripheralClockHz / (prescale * postdiv)) : 0;
}

uint spi_get_index(const spi_inst_t* spi) {
    return spi == spi1 ? 1u : 0u;
}

void spi_set_format(spi_inst_t* spi, uint data_bits, spi_cpol_t cpol, spi_cpha_t cpha,
                    spi_order_t order) {
    HostChip& c = chip();
    if (data_bits < 4 || data_bits > 16)
        c.failWith("SPI frames are 4 to 16 bits long");
    // The format is written with the block disabled; its enable comes back.
    Spi& s = block(c, spi);
    const bool enabled = (s.read(Spi::kCr1) & Spi::kCr1Sse) != 0;
    setEnable(s, false);
    setFormat(c, s, data_bits, cpol == SPI_CPOL_1, cpha == SPI_CPHA_1, order == SPI_MSB_FIRST);
    setEnable(s, enabled);
    done(c);
}

int spi_write16_read16_blocking(spi_inst_t* spi, const uint16_t* src, uint16_t* dst, size_t len) {
    HostChip& c = chip();
    exchange(c, block(c, spi), src, 0, dst, len);
    done(c);
    return static_cast<int>(len);
}

int spi_write16_blocking(spi_inst_t* spi, const uint16_t* src, size_t len) {
    return spi_write16_read16_blocking(spi, src, nullptr, len);
}

int spi_read16_blocking(spi_inst_t* spi, uint16_t repeated_tx_data, uint16_t* dst, size_t len) {
    HostChip& c = chip();
    exchange(c, block(c, spi), nullptr, repeated_tx_data, dst, len);
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
