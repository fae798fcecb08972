// The eight thermocouple converters of quillet and brennic. They share the
// SPI0 clock and data-out lines; a 3-to-8 demultiplexer with an enable input,
// driven by four GPIOs, selects the one converter whose chip select is low.
// A selected converter answers a 16-bit frame (mode 0, MSB first) with its
// 12-bit reading in bits 14..3 (0.25 C per step) and an open-input flag in
// bit 2. An unselected converter leaves its data line high-impedance, so the
// chip then reads the line as its pad holds it: the RP2040's pads come out of
// reset pulled down, so with nothing selected the frame reads 0x0000 unless
// the firmware or the world pulls the line up (0xFFFF). Each board's wiring
// is in its description (world/board_description.h).
#pragma once

#include "chip/spi.h"

#include <array>
#include <cstdint>
#include <optional>

namespace sim {

class Chip;

class ThermocoupleBank : public SpiDevice {
public:
    static constexpr unsigned kChannels = 8;
    static constexpr std::uint16_t kOpenFlag = 0x0004;

    struct Wiring {
        unsigned sck;
        unsigned sdo;                    // the shared data-out line to the chip's SPI RX pin
        std::array<unsigned, 3> address; // A0, A1, A2
        unsigned enable;
        // The demultiplexer address of channel k at index k - 1.
        std::array<std::uint8_t, kChannels> channelAddress;
    };

    ThermocoupleBank(Chip& chip, Wiring wiring);
    ~ThermocoupleBank() override;
    ThermocoupleBank(const ThermocoupleBank&) = delete;
    ThermocoupleBank& operator=(const ThermocoupleBank&) = delete;

    // Channels are numbered 1..8. Temperatures below 0 read 0, above
    // 1023.75 C read 1023.75 C (the converter's range).
    void setTemperature(unsigned channel, double celsius);
    void setOpen(unsigned channel);
    void setFrame(unsigned channel, std::uint16_t frame);
    std::uint16_t frame(unsigned channel) const;

    // The channel the select lines choose now, or none.
    std::optional<unsigned> selected() const;
    unsigned reads(unsigned channel) const { return reads_.at(channel - 1); }

    static std::uint16_t frameFor(double celsius);

    std::optional<std::uint16_t> clock(const SpiFrame& frame) override;

private:
    std::size_t index(unsigned channel) const;

    Chip& chip_;
    Wiring wiring_;
    std::array<std::uint16_t, kChannels> frames_{};
    std::array<unsigned, kChannels> reads_{};
};

} // namespace sim
