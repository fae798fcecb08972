// The bounded ring that carries host write records from the interrupt
// handler to the host-link task.
#include <gtest/gtest.h>

#include <cstdint>

#include "twi/record_ring.h"

namespace {

struct Record {
    uint8_t addr;
    uint8_t data[100];
    uint8_t len;
};

Record make(uint8_t addr, uint8_t len) {
    Record r{};
    r.addr = addr;
    r.len = len;
    for (uint8_t i = 0; i < len; ++i) {
        r.data[i] = static_cast<uint8_t>(addr + i);
    }
    return r;
}

TEST(RecordRing, HandsOutRecordsInArrivalOrder) {
    RecordRing<Record, 4> ring;
    EXPECT_TRUE(ring.empty());
    EXPECT_EQ(ring.front(), nullptr);
    ASSERT_TRUE(ring.push(make(0x50, 2)));
    ASSERT_TRUE(ring.push(make(0x0B, 1)));
    ASSERT_EQ(ring.size(), 2u);
    EXPECT_EQ(ring.front()->addr, 0x50);
    EXPECT_EQ(ring.front()->len, 2);
    EXPECT_EQ(ring.front()->data[1], 0x51);
    ring.pop();
    EXPECT_EQ(ring.front()->addr, 0x0B);
    ring.pop();
    EXPECT_TRUE(ring.empty());
    EXPECT_EQ(ring.front(), nullptr);
}

TEST(RecordRing, FullRingRefusesTheNewestAndKeepsWhatItHolds) {
    RecordRing<Record, 3> ring;
    for (uint8_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(ring.push(make(0x10 + i, 1)));
    }
    EXPECT_FALSE(ring.push(make(0x99, 5)));
    EXPECT_EQ(ring.size(), 3u);
    for (uint8_t i = 0; i < 3; ++i) {
        ASSERT_NE(ring.front(), nullptr);
        EXPECT_EQ(ring.front()->addr, 0x10 + i);
        ring.pop();
    }
    EXPECT_TRUE(ring.empty());
    // Room again after draining.
    EXPECT_TRUE(ring.push(make(0x20, 1)));
}

TEST(RecordRing, FrontStaysInPlaceAndUnchangedWhileRecordsArePushedBehindIt) {
    RecordRing<Record, 4> ring;
    ASSERT_TRUE(ring.push(make(0x60, 100)));
    const Record* front = ring.front();
    for (uint8_t i = 0; i < 5; ++i) {
        ring.push(make(0x70 + i, 3)); // fills, then is refused
    }
    EXPECT_EQ(ring.front(), front);
    EXPECT_EQ(front->addr, 0x60);
    EXPECT_EQ(front->len, 100);
    EXPECT_EQ(front->data[99], static_cast<uint8_t>(0x60 + 99));
}

TEST(RecordRing, KeepsOrderAcrossManyWrapArounds) {
    RecordRing<Record, 4> ring;
    uint8_t next = 0;
    uint8_t expected = 0;
    for (int round = 0; round < 50; ++round) {
        // Push three, take two: the ring fills, refuses, and wraps.
        for (int i = 0; i < 3; ++i) {
            if (ring.push(make(next, 1))) {
                ++next;
            }
        }
        for (int i = 0; i < 2 && !ring.empty(); ++i) {
            EXPECT_EQ(ring.front()->addr, expected++);
            ring.pop();
        }
    }
    while (!ring.empty()) {
        EXPECT_EQ(ring.front()->addr, expected++);
        ring.pop();
    }
    EXPECT_EQ(expected, next);
}

TEST(RecordRing, PopOnEmptyRingChangesNothing) {
    RecordRing<Record, 2> ring;
    ring.pop();
    EXPECT_TRUE(ring.empty());
    ASSERT_TRUE(ring.push(make(1, 1)));
    ASSERT_TRUE(ring.push(make(2, 1)));
    EXPECT_FALSE(ring.push(make(3, 1)));
    EXPECT_EQ(ring.front()->addr, 1);
}

} // namespace
