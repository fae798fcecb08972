// The thermocouple converters behind their select demultiplexer: only the
// selected converter drives the data line, each on its image's address.
#include "chip_bench.h"

#include "world/board_description.h"
#include "world/thermocouple_bank.h"

#include "hardware/gpio.h"
#include "hardware/spi.h"

#include <cstdio>

namespace {

using sim::milliseconds;
using sim::ThermocoupleBank;

ThermocoupleBank::Wiring wiringOf(sim::BoardKind kind) {
    return sim::boardDescription(kind).thermocoupleWiring();
}

// Selects a demultiplexer address with the enable line, as one masked write.
void select(const ThermocoupleBank::Wiring& w, int address) {
    std::uint32_t mask = 1u << w.enable;
    std::uint32_t value = address < 0 ? 0 : (1u << w.enable);
    for (unsigned bit = 0; bit < 3; ++bit) {
        mask |= 1u << w.address[bit];
        if (address >= 0 && ((address >> bit) & 1))
            value |= 1u << w.address[bit];
    }
    gpio_put_masked(mask, value);
}

class ThermocoupleBankTest : public ChipBench {
protected:
    // Reads one frame per address (-1: enable low) and logs it.
    void bootReading(ThermocoupleBank::Wiring w, std::vector<int> addresses, bool pullUp = false) {
        boot([this, w, addresses, pullUp] {
            spawn("Thermo", 2, 0x1, [this, w, addresses, pullUp] {
                spi_init(spi0, 100000);
                spi_set_format(spi0, 16, SPI_CPOL_0, SPI_CPHA_0, SPI_MSB_FIRST);
                gpio_set_function(w.sdo, GPIO_FUNC_SPI);
                gpio_set_function(w.sck, GPIO_FUNC_SPI);
                if (pullUp)
                    gpio_pull_up(w.sdo);
                std::uint32_t mask = (1u << w.enable) | (1u << w.address[0]) |
                                     (1u << w.address[1]) | (1u << w.address[2]);
                gpio_init_mask(mask);
                gpio_set_dir_masked(mask, mask);
                for (int a : addresses) {
                    select(w, a);
                    std::uint16_t frame = 0;
                    spi_read16_blocking(spi0, 0, &frame, 1);
                    char text[32];
                    std::snprintf(text, sizeof text, "%d: 0x%04x", a, frame);
                    log.push_back(text);
                }
                for (;;)
                    vTaskDelay(1000);
            });
        });
        run(milliseconds(2));
    }
};

TEST_F(ThermocoupleBankTest, QuilletChannelsSitOnTheRemappedAddresses) {
    ThermocoupleBank bank(chip, wiringOf(sim::BoardKind::Quillet));
    bank.setTemperature(1, 100.0); // address 7
    bank.setOpen(4);               // address 1
    bank.setFrame(8, 0x28F8);      // address 0
    bank.setTemperature(6, 25.25); // address 4
    bootReading(wiringOf(sim::BoardKind::Quillet), {7, 1, 0, 4});
    EXPECT_EQ(log, (Lines{"7: 0x0c80", "1: 0x0004", "0: 0x28f8", "4: 0x0328"}));
    EXPECT_EQ(bank.reads(1), 1u);
    EXPECT_EQ(bank.reads(2), 0u);
}

TEST_F(ThermocoupleBankTest, BrennicChannelKIsOnAddressKMinusOne) {
    ThermocoupleBank bank(chip, wiringOf(sim::BoardKind::Brennic));
    bank.setTemperature(1, 25.25);
    bank.setOpen(2);
    bank.setTemperature(8, 327.5);
    bootReading(wiringOf(sim::BoardKind::Brennic), {0, 1, 7});
    EXPECT_EQ(log, (Lines{"0: 0x0328", "1: 0x0004", "7: 0x28f0"}));
}

TEST_F(ThermocoupleBankTest, WithEnableLowNoConverterDrivesTheLine) {
    ThermocoupleBank bank(chip, wiringOf(sim::BoardKind::Quillet));
    for (unsigned k = 1; k <= 8; ++k)
        bank.setTemperature(k, 200.0);
    bootReading(wiringOf(sim::BoardKind::Quillet), {-1});
    // The data pin's pad is pulled down since reset.
    EXPECT_EQ(log, (Lines{"-1: 0x0000"}));
    for (unsigned k = 1; k <= 8; ++k)
        EXPECT_EQ(bank.reads(k), 0u);
}

TEST_F(ThermocoupleBankTest, UndrivenLineWithPullUpReadsAllOnes) {
    ThermocoupleBank bank(chip, wiringOf(sim::BoardKind::Quillet));
    bootReading(wiringOf(sim::BoardKind::Quillet), {-1, 7}, true);
    EXPECT_EQ(log, (Lines{"-1: 0xffff", "7: 0x0000"}));
}

TEST(ThermocoupleFrameTest, TemperatureToFrame) {
    EXPECT_EQ(ThermocoupleBank::frameFor(100.0), 0x0C80);
    EXPECT_EQ(ThermocoupleBank::frameFor(327.5), 0x28F0);
    EXPECT_EQ(ThermocoupleBank::frameFor(-5.0), 0x0000);
    EXPECT_EQ(ThermocoupleBank::frameFor(2000.0), 0x7FF8);
}

} // namespace
