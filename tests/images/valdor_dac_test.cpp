// valdor's two analog outputs: host values in 0x60..0x63 reach the
// two-channel converter as one 16-bit command word per value, framed by its
// chip select on GPIO22.
#include "valdor_bench.h"

namespace valdor_test {
namespace {

// From the STOP of the host write to the converter latching the word: a
// 24-ns pause before and after the select edge (3 cycles at 125 MHz each),
// and 16 clocks at the 122.07 kHz the SPI block makes of 100 kHz
// (125 MHz / 4 / 256), 8.192 us each.
constexpr Time kStopToLatch = sim::nanoseconds(24 + 24 + 131072 + 24);

class ValdorDac : public ValdorTest {
protected:
    const std::vector<sim::Dac::Command>& commands() { return board_->dac()->commands(); }

    // The one command a host write made (the caller let it finish), latched
    // at its expected time.
    void expectOneCommand(const sim::I2cTransferRecord& r, std::size_t before, std::uint16_t word) {
        ASSERT_EQ(commands().size(), before + 1) << "after the write ending at " << r.end;
        const sim::Dac::Command& c = commands().back();
        EXPECT_EQ(c.word, word);
        EXPECT_TRUE(onTime(c.at, r.end + kStopToLatch));
        EXPECT_TRUE(board_->dac()->errors().empty());
    }
};

TEST_F(ValdorDac, NothingIsSentBeforeTheHostWritesAValue) {
    runUntil(milliseconds(30));
    writeWord(0x50, 0x0FFF);
    write(0x63, {0x0F});
    runFor(milliseconds(5));
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(records("spi").empty());
    // Idle high from the set-up on.
    EXPECT_TRUE(sameTimeline(pinChanges(kDacSelect), {{0, true}}));
}

TEST_F(ValdorDac, ValuesAreClampedAndCarryTheChannelBit) {
    runUntil(milliseconds(5));
    struct Case {
        std::uint8_t reg;
        std::uint16_t value;
        std::uint16_t word;
    };
    const Case cases[] = {
        {0x60, 5000, 0x7FFF}, {0x62, 0x0123, 0xF123}, {0x60, 0, 0x7000},      {0x62, 4095, 0xFFFF},
        {0x62, 4096, 0xFFFF}, {0x60, 0xFFFF, 0x7FFF}, {0x60, 0x0800, 0x7800},
    };
    for (const Case& c : cases) {
        const std::size_t before = commands().size();
        const sim::I2cTransferRecord r = writeWord(c.reg, c.value);
        runFor(milliseconds(1));
        expectOneCommand(r, before, c.word);
        // The register keeps what the host wrote; only the converter clamps.
        EXPECT_EQ(read(c.reg, 2),
                  (std::vector<std::uint8_t>{static_cast<std::uint8_t>(c.value & 0xFF),
                                             static_cast<std::uint8_t>(c.value >> 8)}));
    }
    EXPECT_EQ(board_->dac()->describe(), "A=2048 B=4095");
    // One select per frame, one 16-bit mode-0 frame per select.
    for (const sim::Record& spi : records("spi"))
        EXPECT_NE(spi.text().find("16 bits mode 0"), std::string::npos) << spi.text();
    EXPECT_EQ(records("spi").size(), 7u);
}

TEST_F(ValdorDac, HighByteAloneIsStoredAndAppliedWithTheNextLowByte) {
    runUntil(milliseconds(5));
    write(0x61, {0x0F});
    write(0x63, {0x0A});
    runFor(milliseconds(2));
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(read(0x60, 4), (std::vector<std::uint8_t>{0x00, 0x0F, 0x00, 0x0A}));

    sim::I2cTransferRecord r = write(0x60, {0xFF});
    runFor(milliseconds(1));
    expectOneCommand(r, 0, 0x7FFF);
    r = write(0x62, {0x34});
    runFor(milliseconds(1));
    expectOneCommand(r, 1, 0xFA34);
}

// One write from 0x50 on runs through 0x51, 0x52, the read-only 0x55..0x57
// and into 0x60/0x61: the outputs change first, then the converter.
TEST_F(ValdorDac, OneWriteRunsFromTheOutputsIntoTheConverter) {
    runUntil(milliseconds(5));
    heartbeat();
    const sim::I2cTransferRecord r = write(0x50, {0x01, 0x02, 0x03, 0xAA, 0xBB, 0xCC, 0x10, 0x00});
    runFor(milliseconds(1));
    EXPECT_EQ(read(0x50, 8),
              (std::vector<std::uint8_t>{0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x10, 0x00}));
    // Output word 0x0201: channels 0 and 9, GPIO11 and GPIO2.
    EXPECT_EQ(outputLevels(), (1u << 11) | (1u << 2));
    EXPECT_TRUE(sameTimeline(pinChanges(11, r.start), {{r.end, true}}, 0));
    EXPECT_TRUE(sameTimeline(pinChanges(2, r.start), {{r.end, true}}, 0));
    expectOneCommand(r, 0, 0x7010);
    EXPECT_FALSE(board_->dac()->value(1).has_value());
}

} // namespace
} // namespace valdor_test
