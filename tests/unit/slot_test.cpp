// Slot position and address from the slot-coding voltage.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "board/slot.h"

namespace {

void expectSlot(uint16_t raw, int pos, int addr) {
    const SlotPosition s = slotFromReading(raw);
    EXPECT_EQ(s.pos, pos) << "raw " << raw;
    EXPECT_EQ(s.addr, addr) << "raw " << raw;
}

TEST(SlotFromReading, EveryBandEdge) {
    expectSlot(0, -1, 0);
    expectSlot(127, -1, 0);
    expectSlot(128, 7, 0x20);
    expectSlot(511, 7, 0x20);
    expectSlot(512, 6, 0x21);
    expectSlot(1023, 6, 0x21);
    expectSlot(1024, 5, 0x22);
    expectSlot(1535, 5, 0x22);
    expectSlot(1536, 4, 0x23);
    expectSlot(2047, 4, 0x23);
    expectSlot(2048, 3, 0x24);
    expectSlot(2559, 3, 0x24);
    expectSlot(2560, 2, 0x25);
    expectSlot(3071, 2, 0x25);
    expectSlot(3072, 1, 0x26);
    expectSlot(3583, 1, 0x26);
    expectSlot(3584, 0, 0x27);
    expectSlot(4095, 0, 0x27);
}

TEST(SlotFromReading, AddressIsAlways0x27MinusThePosition) {
    for (uint32_t raw = 128; raw <= 4095; ++raw) {
        const SlotPosition s = slotFromReading(static_cast<uint16_t>(raw));
        ASSERT_GE(s.pos, 0);
        ASSERT_LE(s.pos, 7);
        ASSERT_EQ(s.addr, 0x27 - s.pos) << "raw " << raw;
    }
}

// A scripted converter: returns the readings in turn and counts the pauses.
struct Script {
    std::vector<uint16_t> readings;
    size_t taken = 0;
    int pauses = 0;
};

uint16_t settle(Script& script) {
    return settledSlotReading(
        [&script] {
            if (script.taken >= script.readings.size()) {
                ADD_FAILURE() << "read past the script";
                return uint16_t{0};
            }
            return script.readings[script.taken++];
        },
        [&script] { ++script.pauses; });
}

TEST(SettledSlotReading, StopsAtTheFirstPairWithinOneCountAndTakesTheEarlier) {
    Script a{{1000, 1001, 5000}};
    EXPECT_EQ(settle(a), 1000);
    EXPECT_EQ(a.taken, 2u);
    EXPECT_EQ(a.pauses, 1);

    Script b{{1000, 1002, 1003, 5000}};
    EXPECT_EQ(settle(b), 1002);
    EXPECT_EQ(b.taken, 3u);
    EXPECT_EQ(b.pauses, 2);
}

TEST(SettledSlotReading, AgreementCountsInBothDirections) {
    Script down{{2000, 1999}};
    EXPECT_EQ(settle(down), 2000);
    Script same{{7, 7}};
    EXPECT_EQ(settle(same), 7);
}

TEST(SettledSlotReading, KeepsSamplingWhileTheVoltageMoves) {
    Script s{{0, 4095, 0, 4095, 100, 300, 302, 303, 303}};
    EXPECT_EQ(settle(s), 302);
    EXPECT_EQ(s.taken, 8u);
    EXPECT_EQ(s.pauses, 7);
}

} // namespace
