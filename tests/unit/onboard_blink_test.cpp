// The onboard LED's blink code, as the sequence of levels and hold times.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "board/onboard_blink.h"

namespace {

using Phase = std::pair<bool, uint32_t>; // LED on?, ticks held

std::vector<Phase> run(OnboardBlink& blink, int8_t pos, int steps) {
    std::vector<Phase> phases;
    for (int i = 0; i < steps; ++i) {
        const uint32_t ticks = blink.step(pos);
        phases.emplace_back(blink.ledOn(), ticks);
    }
    return phases;
}

std::vector<Phase> startFlashes() {
    std::vector<Phase> phases;
    for (int i = 0; i < 5; ++i) {
        phases.emplace_back(true, 100);
        phases.emplace_back(false, 100);
    }
    return phases;
}

std::vector<Phase> positionCycle(int pos) {
    std::vector<Phase> phases;
    for (int flash = 0; flash <= pos; ++flash) {
        phases.emplace_back(true, 200);
        phases.emplace_back(false, flash == pos ? 1500 : 200);
    }
    return phases;
}

TEST(OnboardBlink, StartsWithFiveQuickFlashesWhateverThePosition) {
    for (int8_t pos : {int8_t{-1}, int8_t{0}, int8_t{7}}) {
        OnboardBlink blink;
        EXPECT_FALSE(blink.ledOn());
        EXPECT_EQ(run(blink, pos, 10), startFlashes()) << "pos " << int(pos);
    }
}

TEST(OnboardBlink, PositionPFlashesPPlusOneTimesPerCycle) {
    for (int pos = 0; pos <= 7; ++pos) {
        OnboardBlink blink;
        run(blink, static_cast<int8_t>(pos), 10);
        const std::vector<Phase> cycle = positionCycle(pos);
        for (int repeat = 0; repeat < 3; ++repeat) {
            EXPECT_EQ(run(blink, static_cast<int8_t>(pos), static_cast<int>(cycle.size())), cycle)
                << "pos " << pos << " cycle " << repeat;
        }
    }
}

TEST(OnboardBlink, CycleLengthsOfTheOuterPositions) {
    const auto cycleTicks = [](int8_t pos, int phases) {
        OnboardBlink blink;
        run(blink, pos, 10);
        uint32_t total = 0;
        for (const Phase& p : run(blink, pos, phases)) {
            total += p.second;
        }
        return total;
    };
    EXPECT_EQ(cycleTicks(0, 2), 1700u);
    EXPECT_EQ(cycleTicks(7, 16), 4500u);
}

TEST(OnboardBlink, NoPositionShowsLongOnShortOff) {
    OnboardBlink blink;
    run(blink, -1, 10);
    std::vector<Phase> expected;
    for (int i = 0; i < 4; ++i) {
        expected.emplace_back(true, 1750);
        expected.emplace_back(false, 250);
    }
    EXPECT_EQ(run(blink, -1, 8), expected);
}

} // namespace
