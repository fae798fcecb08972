// The converter-select lines: the pin pattern of every channel, one write per
// selection, and the other pins left alone. Built once per image's wiring.
#include <gtest/gtest.h>

#include <cstdint>

#include "boards/quillet/demux.h"
#include "fake_sdk.h"

namespace {

#ifdef DEMUX_OF_BRENNIC
// A0 GPIO17, A1 GPIO20, A2 GPIO21, enable GPIO9; channel k on address k - 1.
constexpr uint32_t LINES = 0x320200;
constexpr uint32_t PATTERN[8] = {0x000200, 0x020200, 0x100200, 0x120200,
                                 0x200200, 0x220200, 0x300200, 0x320200};
#else
// A0 GPIO3, A1 GPIO5, A2 GPIO7, enable GPIO8; channels on addresses
// 7, 5, 3, 1, 6, 4, 2, 0.
constexpr uint32_t LINES = 0x1A8;
constexpr uint32_t PATTERN[8] = {0x1A8, 0x188, 0x128, 0x108, 0x1A0, 0x180, 0x120, 0x100};
#endif

// Pins that other code drives high: the input-change line, the onboard LED
// and, on quillet, an output.
constexpr uint32_t OTHERS = (1u << 16) | (1u << 25) | (1u << 12);

class DemuxTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_sdk::reset();
        fake_sdk::state().out = OTHERS;
        fake_sdk::state().dir = OTHERS;
    }
    fake_sdk::State& hw() { return fake_sdk::state(); }
};

TEST_F(DemuxTest, ConstructionMakesTheSelectLinesLowOutputsAndNothingElse) {
    hw().out |= LINES; // whatever the lines held before
    Demux demux;
    EXPECT_EQ(hw().sio, LINES);
    EXPECT_EQ(hw().dir, LINES | OTHERS);
    EXPECT_EQ(hw().out, OTHERS);
    EXPECT_EQ(Demux::LINES, LINES);
}

TEST_F(DemuxTest, EachChannelIsOneWriteOfItsPatternAndZeroReleasesAll) {
    Demux demux;
    for (unsigned char k = 1; k <= 8; ++k) {
        hw().outWrites.clear();
        EXPECT_TRUE(demux.set(k));
        // Address and enable in one write: no other converter on the way.
        ASSERT_EQ(hw().outWrites.size(), 1u) << "channel " << int(k);
        EXPECT_EQ(hw().out, PATTERN[k - 1] | OTHERS) << "channel " << int(k);
    }
    hw().outWrites.clear();
    EXPECT_TRUE(demux.set(0));
    ASSERT_EQ(hw().outWrites.size(), 1u);
    EXPECT_EQ(hw().out, OTHERS);
    EXPECT_EQ(hw().console, "");
}

TEST_F(DemuxTest, EveryChannelHasItsOwnAddress) {
    for (unsigned a = 0; a < 8; ++a) {
        for (unsigned b = a + 1; b < 8; ++b) {
            EXPECT_NE(Demux::pattern(a + 1), Demux::pattern(b + 1));
        }
        EXPECT_EQ(Demux::pattern(a + 1), PATTERN[a]);
    }
}

TEST_F(DemuxTest, AboveEightWarnsAndKeepsTheLines) {
    Demux demux;
    demux.set(3);
    hw().outWrites.clear();
    EXPECT_FALSE(demux.set(9));
    EXPECT_FALSE(demux.set(255));
    EXPECT_TRUE(hw().outWrites.empty());
    EXPECT_EQ(hw().out, PATTERN[2] | OTHERS);
    EXPECT_EQ(hw().console, "[WARN] Demux::set() out muss <= 8 sein, nicht 9\n"
                            "[WARN] Demux::set() out muss <= 8 sein, nicht 255\n");
}

} // namespace
