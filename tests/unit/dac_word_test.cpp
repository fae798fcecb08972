// The converter variants and the command word of one SPI frame.
#include <gtest/gtest.h>

#include "boards/valdor/dac_word.h"

namespace {

TEST(DacVariant, TableOfTheSixKnownTypes) {
    struct Row {
        uint8_t type, channels, resolution;
        uint16_t maxValue;
        uint8_t shift;
    };
    const Row rows[] = {{0, 1, 8, 255, 4}, {1, 1, 10, 1023, 2}, {2, 1, 12, 4095, 0},
                        {3, 2, 8, 255, 4}, {4, 2, 10, 1023, 2}, {5, 2, 12, 4095, 0}};
    for (const Row& r : rows) {
        const DacVariant v = dacVariant(r.type);
        EXPECT_EQ(v.channels, r.channels) << int(r.type);
        EXPECT_EQ(v.resolution, r.resolution) << int(r.type);
        EXPECT_EQ(v.maxValue, r.maxValue) << int(r.type);
        EXPECT_EQ(v.dataShift, r.shift) << int(r.type);
    }
}

TEST(DacVariant, UnknownTypeHasNoChannels) {
    for (int type : {6, 7, 0x80, 0xFF}) {
        const DacVariant v = dacVariant(static_cast<uint8_t>(type));
        EXPECT_EQ(v.channels, 0) << type;
        EXPECT_EQ(v.maxValue, 0) << type;
    }
}

TEST(DacCommandWord, ChannelFlagsAndValueBits) {
    EXPECT_EQ(dacCommandWord(0, 1, 1, 1, 4095, 0), 0x7FFF);
    EXPECT_EQ(dacCommandWord(1, 1, 1, 1, 0x123, 0), 0xF123);
    EXPECT_EQ(dacCommandWord(0, 1, 1, 1, 0, 0), 0x7000);
    EXPECT_EQ(dacCommandWord(0, 0, 0, 0, 0x123, 0), 0x0123);
    EXPECT_EQ(dacCommandWord(1, 0, 1, 0, 0, 0), 0xA000);
    EXPECT_EQ(dacCommandWord(0, 1, 0, 0, 0, 0), 0x4000);
    EXPECT_EQ(dacCommandWord(0, 0, 0, 1, 0, 0), 0x1000);
}

TEST(DacCommandWord, NarrowValuesAreLeftAlignedInTwelveBits) {
    EXPECT_EQ(dacCommandWord(0, 1, 1, 1, 255, 4), 0x7FF0);  // 8 bits in 11..4
    EXPECT_EQ(dacCommandWord(1, 1, 1, 1, 1023, 2), 0xFFFC); // 10 bits in 11..2
    EXPECT_EQ(dacCommandWord(0, 1, 1, 1, 0x81, 4), 0x7810);
}

} // namespace
