// The register table and its cursor: what a host run of reads or writes
// walks through.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "twi/regs.h"

namespace {

const std::vector<uint8_t> TABLE_ORDER = {
    0x00, 0x05, 0x09, 0x0B, 0x12, 0x13, 0x50, 0x51, 0x52, 0x55, 0x56, 0x57, 0x60,
    0x61, 0x62, 0x63, 0x70, 0x71, 0x72, 0x73, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85,
    0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0xFD, 0xFE};

TEST(RegsTable, HoldsTheRegistersInTableOrderWithTheirInitialValues) {
    ASSERT_EQ(TABLE_ORDER.size(), REGS_COUNT);
    for (uint32_t i = 0; i < REGS_COUNT; ++i) {
        EXPECT_EQ(_regsArr[i].addr, TABLE_ORDER[i]) << "entry " << i;
    }
    EXPECT_EQ(_Regs::find(0x05)->value, 0x02);
    EXPECT_EQ(_Regs::find(0x09)->value, 0xC0);
    EXPECT_EQ(_Regs::find(0x0B)->value, 0x01);
    for (uint8_t addr : TABLE_ORDER) {
        if (addr != 0x05 && addr != 0x09 && addr != 0x0B) {
            EXPECT_EQ(_Regs::find(addr)->value, 0x00) << std::hex << int(addr);
        }
    }
}

TEST(RegsTable, HostMayWriteOnlyTheSpareHeartbeatOutputAndAnalogOutputRegisters) {
    const std::vector<uint8_t> writable = {0x00, 0x05, 0x0B, 0x50, 0x51,
                                           0x52, 0x60, 0x61, 0x62, 0x63};
    for (uint32_t i = 0; i < REGS_COUNT; ++i) {
        const bool isWritable =
            std::find(writable.begin(), writable.end(), _regsArr[i].addr) != writable.end();
        EXPECT_EQ(_regsArr[i].readOnly, isWritable ? 0 : 1) << std::hex << int(_regsArr[i].addr);
    }
}

TEST(RegsCursor, AtFindsAnEntryAndNextContinuesInTableOrder) {
    _Regs regs;
    EXPECT_EQ(regs.at(0x00), &_regsArr[0]);
    EXPECT_EQ(regs.next()->addr, 0x05);

    ASSERT_NE(regs.at(0x13), nullptr);
    EXPECT_EQ(regs.next()->addr, 0x50); // not 0x14
    ASSERT_NE(regs.at(0x57), nullptr);
    EXPECT_EQ(regs.next()->addr, 0x60);
    ASSERT_NE(regs.at(0x8F), nullptr);
    EXPECT_EQ(regs.next()->addr, 0xFD);
}

TEST(RegsCursor, NextWrapsFromTheLastEntryToTheFirstForever) {
    _Regs regs;
    ASSERT_NE(regs.at(0xFE), nullptr);
    EXPECT_EQ(regs.next()->addr, 0x00);
    // Two full laps visit every entry in order and never give null.
    for (uint32_t lap = 0; lap < 2; ++lap) {
        for (uint32_t i = 1; i <= REGS_COUNT; ++i) {
            const _reg_t* e = regs.next();
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->addr, TABLE_ORDER[i % REGS_COUNT]);
        }
    }
}

TEST(RegsCursor, UnlistedAddressGivesNullAndRestartsTheCursorAtTheFirstEntry) {
    _Regs regs;
    for (uint8_t unlisted : {0x01, 0x10, 0x14, 0x53, 0x90, 0xFC, 0xFF}) {
        ASSERT_NE(regs.at(0x70), nullptr);
        EXPECT_EQ(regs.at(unlisted), nullptr) << std::hex << int(unlisted);
        EXPECT_EQ(regs.next()->addr, 0x05) << "after " << std::hex << int(unlisted);
    }
}

TEST(RegsCursor, FindDoesNotMoveAnyCursor) {
    _Regs regs;
    ASSERT_NE(regs.at(0x12), nullptr);
    EXPECT_EQ(_Regs::find(0x05), &_regsArr[1]);
    EXPECT_EQ(_Regs::find(0x10), nullptr);
    EXPECT_EQ(regs.next()->addr, 0x13);
}

TEST(RegsCursor, TwoCursorsWalkIndependently) {
    _Regs handler;
    _Regs task;
    ASSERT_NE(handler.at(0x50), nullptr);
    ASSERT_NE(task.at(0x80), nullptr);
    EXPECT_EQ(handler.next()->addr, 0x51);
    EXPECT_EQ(task.next()->addr, 0x81);
}

TEST(RegsWords, PublishedWordsAreTheInputWordAnalogInputsAndThermocoupleChannels) {
    std::vector<uint8_t> lows;
    for (uint32_t a = 0; a <= 0xFF; ++a) {
        if (_isPublishedWordLow(static_cast<uint8_t>(a))) {
            lows.push_back(static_cast<uint8_t>(a));
        }
    }
    EXPECT_EQ(lows, (std::vector<uint8_t>{0x12, 0x70, 0x72, 0x80, 0x82, 0x84, 0x86, 0x88, 0x8A,
                                          0x8C, 0x8E}));
    // Each low byte's high byte is the entry that follows it in the table.
    _Regs regs;
    for (uint8_t lo : lows) {
        ASSERT_NE(regs.at(lo), nullptr);
        EXPECT_EQ(regs.next()->addr, lo + 1);
    }
}

} // namespace
