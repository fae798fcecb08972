// valdor's DAC on the pins: it latches one 16-bit mode-0 frame per selection
// and reports every other framing as an error, latching nothing.
#include "chip_bench.h"

#include "world/board_description.h"
#include "world/dac.h"

#include "hardware/gpio.h"
#include "hardware/spi.h"

#include <vector>

namespace {

using sim::milliseconds;

const sim::Dac::Wiring kWiring = sim::boardDescription(sim::BoardKind::Valdor).dacWiring();
const uint kCs = kWiring.cs;

// The valdor wiring: SPI0 at 100 kHz, 16-bit mode 0, the chip select a plain
// output idling high.
void setUpSpi() {
    spi_init(spi0, 100000);
    spi_set_format(spi0, 16, SPI_CPOL_0, SPI_CPHA_0, SPI_MSB_FIRST);
    gpio_set_function(kWiring.sdi, GPIO_FUNC_SPI);
    gpio_set_function(kWiring.sck, GPIO_FUNC_SPI);
    gpio_init(kCs);
    gpio_set_dir(kCs, GPIO_OUT);
    gpio_put(kCs, true);
}

void send(std::vector<std::uint16_t> words) {
    gpio_put(kCs, false);
    spi_write16_blocking(spi0, words.data(), words.size());
    gpio_put(kCs, true);
}

class DacTest : public ChipBench {
protected:
    void bootSending(std::function<void()> body) {
        boot([this, body] {
            spawn("Dac", 2, 0x1, [body] {
                setUpSpi();
                body();
                for (;;)
                    vTaskDelay(1000);
            });
        });
        run(milliseconds(1));
    }

    sim::Dac dac{chip, kWiring};
};

TEST_F(DacTest, OneFramePerSelectionSetsAChannel) {
    EXPECT_EQ(dac.describe(), "A=- B=-");
    bootSending([] {
        send({0x7FFF});
        send({0xF123});
    });
    EXPECT_TRUE(dac.errors().empty());
    EXPECT_EQ(dac.describe(), "A=4095 B=291");
    ASSERT_EQ(dac.commands().size(), 2u);
    const sim::Dac::Command& a = dac.commands()[0];
    EXPECT_EQ(a.channel, 0u);
    EXPECT_TRUE(a.buffered && a.gain1x && a.active);
    EXPECT_EQ(a.at, sim::nanoseconds(131072)); // the select rises after the frame
    EXPECT_EQ(dac.commands()[1].channel, 1u);
}

TEST_F(DacTest, OnlyTheWrittenChannelChanges) {
    bootSending([] { send({0x7000 | 0x0123}); });
    EXPECT_EQ(dac.describe(), "A=291 B=-");
    EXPECT_TRUE(dac.active(0));
}

TEST_F(DacTest, TwoFramesInOneSelectionLatchNothing) {
    bootSending([] { send({0x7001, 0x7002}); });
    EXPECT_EQ(dac.describe(), "A=- B=-");
    ASSERT_EQ(dac.errors().size(), 1u);
    EXPECT_EQ(dac.errors()[0].what, "2 frames in one selection");
}

TEST_F(DacTest, FrameWithoutSelectIsAnError) {
    bootSending([] {
        std::uint16_t word = 0x7001;
        spi_write16_blocking(spi0, &word, 1);
    });
    EXPECT_EQ(dac.describe(), "A=- B=-");
    ASSERT_EQ(dac.errors().size(), 1u);
    EXPECT_EQ(dac.errors()[0].what, "frame clocked while chip select is high");
}

TEST_F(DacTest, WrongLengthOrModeIsAnError) {
    bootSending([] {
        spi_set_format(spi0, 8, SPI_CPOL_0, SPI_CPHA_0, SPI_MSB_FIRST);
        send({0x70});
        spi_set_format(spi0, 16, SPI_CPOL_1, SPI_CPHA_1, SPI_MSB_FIRST);
        send({0x7001});
    });
    EXPECT_EQ(dac.describe(), "A=- B=-");
    ASSERT_EQ(dac.errors().size(), 2u);
    EXPECT_EQ(dac.errors()[0].what, "8-bit frame");
    EXPECT_EQ(dac.errors()[1].what, "frame in SPI mode 3");
}

TEST_F(DacTest, DataPinNotHandedToSpiSendsItsLevel) {
    bootSending([] {
        gpio_init(kWiring.sdi); // data pin back to software: low
        send({0x7ABC});
    });
    EXPECT_EQ(dac.describe(), "A=0 B=-");
    EXPECT_FALSE(dac.active(0));
}

} // namespace
