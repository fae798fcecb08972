// The status-LED brightness ramp: the exact levels of a whole breath.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "boards/valdor/fading_ramp.h"

namespace {

std::vector<uint16_t> expectedBreath() {
    std::vector<uint16_t> levels;
    for (uint16_t l = 20; l <= 100; l += 20)
        levels.push_back(l);
    for (uint16_t l = 125; l <= 500; l += 25)
        levels.push_back(l);
    for (uint16_t l = 530; l <= 2480; l += 30)
        levels.push_back(l);
    levels.push_back(2500);
    for (uint16_t l = 2470; l >= 520; l -= 30)
        levels.push_back(l);
    for (int l = 490; l >= 90; l -= 25)
        levels.push_back(static_cast<uint16_t>(l));
    for (int l = 70; l >= 10; l -= 20)
        levels.push_back(static_cast<uint16_t>(l));
    levels.push_back(0);
    return levels;
}

TEST(FadingRamp, OneBreathIs88StepsUpAnd88Down) {
    const std::vector<uint16_t> expected = expectedBreath();
    ASSERT_EQ(expected.size(), 176u);
    FadingRamp ramp;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(ramp.step(), expected[i]) << "step " << i + 1;
        EXPECT_EQ(ramp.rising(), i < 87 || i == 175) << "step " << i + 1;
    }
}

TEST(FadingRamp, BreathsRepeatFromDark) {
    FadingRamp ramp;
    for (int i = 0; i < 176; ++i)
        ramp.step();
    EXPECT_EQ(ramp.level(), 0);
    EXPECT_EQ(ramp.step(), 20);
}

TEST(FadingRamp, ResetReturnsToDarkAndRisingMidBreath) {
    FadingRamp ramp;
    for (int i = 0; i < 100; ++i) // on the way down
        ramp.step();
    ASSERT_FALSE(ramp.rising());
    ramp.reset();
    EXPECT_EQ(ramp.level(), 0);
    EXPECT_TRUE(ramp.rising());
    EXPECT_EQ(ramp.step(), 20);
}

} // namespace
