// The converter reader: frames to hundredths of a degree or error codes, one
// 16-bit frame per read, and the warning for a converter type it cannot read.
#include <gtest/gtest.h>

#include <cstdint>

#include "boards/quillet/thermo.h"
#include "fake_sdk.h"

namespace {

uint16_t decode(uint16_t frame) {
    return Thermo::decode12Bit(frame);
}

TEST(ThermoDecode, ReadingsBecomeHundredthsOfADegree) {
    EXPECT_EQ(decode(0x0C80), 10000); // reading 400: 100.00 degrees
    EXPECT_EQ(decode(0x0000), 0);
    EXPECT_EQ(decode(0x0008), 25);
    EXPECT_EQ(decode(0x28F0), 32750); // reading 1310, the largest that fits
    EXPECT_EQ(decode(0x0C81), 10000); // bit 0 is not driven by the converter
    for (uint32_t r = 0; r <= 1310; ++r) {
        ASSERT_EQ(decode(static_cast<uint16_t>(r << 3)), 25 * r) << "reading " << r;
    }
}

TEST(ThermoDecode, OpenInputAndOutOfRange) {
    EXPECT_EQ(decode(0x0004), THERMO_ERR_OPEN);
    EXPECT_EQ(decode(0x0C84), THERMO_ERR_OPEN);
    EXPECT_EQ(decode(0x28F8), THERMO_ERR_RANGE); // reading 1311: 327.75 degrees
    EXPECT_EQ(decode(0x7FF8), THERMO_ERR_RANGE);
    EXPECT_EQ(decode(0x8000), THERMO_ERR_RANGE); // the sign bit counts as 4096
    // The open flag comes first, so a line held high reads as open.
    EXPECT_EQ(decode(0xFFFF), THERMO_ERR_OPEN);
    EXPECT_EQ(decode(0x8004), THERMO_ERR_OPEN);
}

TEST(ThermoDecode, BitsOneAndZeroAreNotChecked) {
    for (uint16_t low = 0; low <= 3; low = static_cast<uint16_t>(low + 1)) {
        EXPECT_EQ(decode(0x0C80 | low), 10000) << low;
        EXPECT_EQ(decode(0x0000 | low), 0) << low;
        EXPECT_EQ(decode(0x28F0 | low), 32750) << low;
        EXPECT_EQ(decode(0x28F8 | low), THERMO_ERR_RANGE) << low;
        EXPECT_EQ(decode(0x8000 | low), THERMO_ERR_RANGE) << low;
        EXPECT_EQ(decode(0x0004 | low), THERMO_ERR_OPEN) << low;
    }
}

TEST(ThermoDecode, ErrorsAndTemperaturesNeverMeet) {
    for (uint32_t frame = 0; frame <= 0xFFFF; ++frame) {
        const uint16_t v = decode(static_cast<uint16_t>(frame));
        if ((v & 0x8000) == 0) {
            ASSERT_EQ(v % 25, 0) << "frame " << frame;
            ASSERT_LE(v, 32750) << "frame " << frame;
        } else {
            ASSERT_TRUE(v == THERMO_ERR_OPEN || v == THERMO_ERR_RANGE) << "frame " << frame;
        }
    }
}

class ThermoRead : public ::testing::Test {
protected:
    void SetUp() override { fake_sdk::reset(); }
    fake_sdk::State& hw() { return fake_sdk::state(); }
};

TEST_F(ThermoRead, OneFrameFromSpi0PerRead) {
    Thermo thermo(Thermo::THERMO_IC_12BIT);
    EXPECT_EQ(hw().spiCalls, 0u); // construction touches no hardware
    hw().frames = {0x0C80, 0x0004};
    EXPECT_EQ(thermo.read(), 10000);
    EXPECT_EQ(thermo.read(), THERMO_ERR_OPEN);
    EXPECT_EQ(hw().spiCalls, 2u);
    EXPECT_EQ(hw().sent, (std::vector<uint16_t>{0, 0}));
    EXPECT_EQ(hw().lastSpi, static_cast<const void*>(spi0));
    EXPECT_EQ(hw().console, "");
}

TEST_F(ThermoRead, AnotherConverterTypeWarnsAndReadsNothing) {
    Thermo thermo(static_cast<Thermo::ThermoIC>(1));
    hw().frames = {0x0C80};
    EXPECT_EQ(thermo.read(), THERMO_ERR_NOT_IMPL);
    EXPECT_EQ(hw().spiCalls, 0u);
    EXPECT_EQ(hw().console, "[WARN] Thermo::_ic 1 (noch) nicht implementiert\n");
}

} // namespace
