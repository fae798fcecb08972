// The library's Board on a register-level fake: which bytes go on the bus,
// what comes back, and that failures reach the caller as errors.
#include "fake_bus.h"

#include "boardhost/board.h"

#include <gtest/gtest.h>

namespace {

using boardhost::Board;
using boardhost::Error;
using hosttest::FakeBus;
using Log = std::vector<std::string>;

struct BoardTest : ::testing::Test {
    FakeBus valdorBus{0x25, FakeBus::kValdor};
    FakeBus quilletBus{0x26, FakeBus::kQuillet};

    Board open(FakeBus& bus, std::uint8_t address) {
        auto b = Board::open(bus, address);
        EXPECT_TRUE(b.ok()) << (b.ok() ? "" : b.error().message);
        bus.log.clear();
        return std::move(b).value();
    }
};

TEST_F(BoardTest, OpenReadsLengthThenDescriptorInOneTransferEach) {
    auto b = Board::open(valdorBus, 0x25);
    ASSERT_TRUE(b.ok());
    EXPECT_EQ(valdorBus.log, (Log{"w1@0x25 0xfd r2@0x25", "w1@0x25 0xff r88@0x25"}));
    EXPECT_EQ(b->descriptor().digitalOutputs, 12u);
    EXPECT_EQ(b->descriptor().analogOutputBits, 12u);
    EXPECT_EQ(b->analogOutputMax(), 4095u);
}

TEST_F(BoardTest, OpenTellsAbsentBoardsFromBrokenOnes) {
    auto absent = Board::open(valdorBus, 0x21);
    ASSERT_FALSE(absent.ok());
    EXPECT_EQ(absent.error().kind, Error::Kind::Absent);
    EXPECT_EQ(absent.error().message, "no board at 0x21 on fake");

    valdorBus.regs[0xFE] = 0; // length 0
    auto empty = Board::open(valdorBus, 0x25);
    ASSERT_FALSE(empty.ok());
    EXPECT_EQ(empty.error().kind, Error::Kind::BadDescriptor);

    valdorBus.regs[0xFE] = 90; // longer than the text: the stream gives 0x00
    auto cut = Board::open(valdorBus, 0x25);
    ASSERT_FALSE(cut.ok());
    EXPECT_EQ(cut.error().kind, Error::Kind::BadDescriptor);
    EXPECT_NE(cut.error().message.find("ends after 88 of 90"), std::string::npos);

    valdorBus.regs[0xFE] = 88;
    valdorBus.shortBy = 1;
    auto shortRead = Board::open(valdorBus, 0x25);
    ASSERT_FALSE(shortRead.ok());
    EXPECT_EQ(shortRead.error().kind, Error::Kind::ShortRead);
}

TEST_F(BoardTest, OutputsAsMaskAndPerChannel) {
    Board b = open(valdorBus, 0x25);
    ASSERT_TRUE(b.setOutputs(0x801).ok());
    EXPECT_EQ(valdorBus.regs[0x50], 0x01);
    EXPECT_EQ(valdorBus.regs[0x51], 0x08);
    ASSERT_TRUE(b.setOutput(3, true).ok());
    ASSERT_TRUE(b.setOutput(0, false).ok());
    EXPECT_EQ(valdorBus.log,
              (Log{"w3@0x25 0x50 0x01 0x08", "w1@0x25 0x50 r1@0x25", "w2@0x25 0x50 0x09",
                   "w1@0x25 0x50 r1@0x25", "w2@0x25 0x50 0x08"}));
    auto now = b.outputs();
    ASSERT_TRUE(now.ok());
    EXPECT_EQ(*now, 0x808);
}

// A change reads and writes only the bytes it touches, and reads nothing
// when it sets every channel of them: fewer chances for two hosts to race.
TEST_F(BoardTest, OutputChangesTouchOnlyTheirBytes) {
    struct Case {
        std::uint16_t on, off;
        Log log;
        std::uint16_t after; // from 0x808
    };
    const Case cases[] = {
        {0x0FF, 0x000, {"w2@0x25 0x50 0xff"}, 0x8FF},
        {0x0F0, 0x00F, {"w2@0x25 0x50 0xf0"}, 0x8F0},
        {0x000, 0xF00, {"w2@0x25 0x51 0x00"}, 0x008}, // 8..11 are all of valdor's
        {0x100, 0x000, {"w1@0x25 0x51 r1@0x25", "w2@0x25 0x51 0x09"}, 0x908},
        {0x001, 0x100, {"w1@0x25 0x50 r2@0x25", "w3@0x25 0x50 0x09 0x08"}, 0x809},
        {0xFFF, 0x000, {"w3@0x25 0x50 0xff 0x0f"}, 0xFFF},
        {0x000, 0x000, {}, 0x808},
    };
    for (const Case& c : cases) {
        valdorBus.regs[0x50] = 0x08;
        valdorBus.regs[0x51] = 0x08;
        Board b = open(valdorBus, 0x25);
        ASSERT_TRUE(b.changeOutputs(c.on, c.off).ok());
        EXPECT_EQ(valdorBus.log, c.log) << c.on << " " << c.off;
        EXPECT_EQ(valdorBus.regs[0x50] | valdorBus.regs[0x51] << 8, c.after) << c.on;
    }
    Board b = open(valdorBus, 0x25);
    auto beyond = b.changeOutputs(0x1000, 0);
    ASSERT_FALSE(beyond.ok());
    EXPECT_EQ(beyond.error().kind, Error::Kind::BadArgument);
    EXPECT_TRUE(valdorBus.log.empty());
}

TEST_F(BoardTest, InputsAreAcknowledgedWithADataByteTo0x12) {
    Board b = open(valdorBus, 0x25);
    valdorBus.regs[0x12] = 0x05;
    auto in = b.inputs();
    ASSERT_TRUE(in.ok());
    EXPECT_EQ(*in, 0x05);
    EXPECT_EQ(valdorBus.log, (Log{"w1@0x25 0x12 r2@0x25", "w2@0x25 0x12 0x00"}));
}

TEST_F(BoardTest, AnalogOutputsLowByteFirstInOneWrite) {
    Board b = open(valdorBus, 0x25);
    ASSERT_TRUE(b.setAnalogOutput(0, 4095).ok());
    ASSERT_TRUE(b.setAnalogOutput(1, 0x123).ok());
    EXPECT_EQ(valdorBus.log, (Log{"w3@0x25 0x60 0xff 0x0f", "w3@0x25 0x62 0x23 0x01"}));
}

TEST_F(BoardTest, SixteenBitValuesComeFromOneReadLowByteFirst) {
    Board b = open(valdorBus, 0x25);
    valdorBus.regs[0x70] = 0xD2;
    valdorBus.regs[0x71] = 0x04;
    valdorBus.regs[0x72] = 0xFF;
    valdorBus.regs[0x73] = 0x0F;
    auto one = b.analogInput(1);
    auto all = b.analogInputs();
    ASSERT_TRUE(one.ok() && all.ok());
    EXPECT_EQ(*one, 4095);
    EXPECT_EQ(*all, (std::vector<std::uint16_t>{1234, 4095}));
    EXPECT_EQ(valdorBus.log, (Log{"w1@0x25 0x72 r2@0x25", "w1@0x25 0x70 r4@0x25"}));
}

TEST_F(BoardTest, ThermocoupleChannelsCountFromOne) {
    Board b = open(quilletBus, 0x26);
    quilletBus.regs[0x84] = 0x10; // channel 3: 10000 = 100.00 degrees
    quilletBus.regs[0x85] = 0x27;
    quilletBus.regs[0x8E] = 0x04; // channel 8: open
    quilletBus.regs[0x8F] = 0x80;
    auto three = b.thermocouple(3);
    ASSERT_TRUE(three.ok());
    EXPECT_EQ(three->hundredths, 10000u);
    auto all = b.thermocouples();
    ASSERT_TRUE(all.ok());
    ASSERT_EQ(all->size(), 8u);
    EXPECT_EQ((*all)[7].fault, boardhost::ThermoFault::OpenInput);
    EXPECT_EQ(quilletBus.log, (Log{"w1@0x26 0x84 r2@0x26", "w1@0x26 0x80 r16@0x26"}));
}

TEST_F(BoardTest, HeartbeatReadsThenWritesAndSeesAFreshBoard) {
    Board b = open(valdorBus, 0x25);
    auto first = b.heartbeat();
    auto second = b.heartbeat();
    valdorBus.regs[0x05] = 0x02; // as after a reset
    auto afterReset = b.heartbeat();
    ASSERT_TRUE(first.ok() && second.ok() && afterReset.ok());
    EXPECT_TRUE(first->fresh);
    EXPECT_FALSE(second->fresh);
    EXPECT_TRUE(afterReset->fresh);
    EXPECT_EQ(valdorBus.log[0], "w1@0x25 0x05 r1@0x25");
    EXPECT_EQ(valdorBus.log[1], "w2@0x25 0x0b 0x81");
}

template <class T>
boardhost::Status statusOf(const boardhost::Result<T>& r) {
    if (r.ok())
        return boardhost::Done{};
    return r.error();
}

// Arguments the board cannot take are refused before anything is sent.
TEST_F(BoardTest, OutOfRangeArgumentsSendNothing) {
    Board valdor = open(valdorBus, 0x25);
    Board quillet = open(quilletBus, 0x26);
    struct Case {
        const char* what;
        boardhost::Status status;
        Error::Kind kind;
    };
    Case cases[] = {
        {"output 12", valdor.setOutput(12, true), Error::Kind::Unsupported},
        {"mask beyond 12", valdor.setOutputs(0x1000), Error::Kind::BadArgument},
        {"aout 2", valdor.setAnalogOutput(2, 1), Error::Kind::Unsupported},
        {"aout 4096", valdor.setAnalogOutput(0, 4096), Error::Kind::BadArgument},
        {"ain 2", statusOf(valdor.analogInput(2)), Error::Kind::Unsupported},
        {"thermo 0", statusOf(quillet.thermocouple(0)), Error::Kind::Unsupported},
        {"thermo 9", statusOf(quillet.thermocouple(9)), Error::Kind::Unsupported},
        {"no thermo on valdor", statusOf(valdor.thermocouples()), Error::Kind::Unsupported},
        {"no aout on quillet", quillet.setAnalogOutput(0, 0), Error::Kind::Unsupported},
        {"no ain on quillet", statusOf(quillet.analogInputs()), Error::Kind::Unsupported},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.status.ok()) << c.what;
        EXPECT_EQ(c.status.error().kind, c.kind) << c.what;
        EXPECT_FALSE(c.status.error().message.empty()) << c.what;
    }
    EXPECT_TRUE(valdorBus.log.empty());
    EXPECT_TRUE(quilletBus.log.empty());
}

// A failing transfer is an error naming the board, never a zero.
TEST_F(BoardTest, TransferFailuresReachTheCaller) {
    Board b = open(valdorBus, 0x25);
    valdorBus.failAfter = 0;
    auto in = b.inputs();
    ASSERT_FALSE(in.ok());
    EXPECT_EQ(in.error().kind, Error::Kind::Nack);
    EXPECT_EQ(in.error().message, "board 0x25 did not acknowledge: not acknowledged");

    // The read went through, the acknowledgement did not: no value either.
    valdorBus.failAfter = 1;
    valdorBus.nextError = Error{Error::Kind::Bus, "gone"};
    auto unacknowledged = b.inputs();
    ASSERT_FALSE(unacknowledged.ok());
    EXPECT_EQ(unacknowledged.error().kind, Error::Kind::Bus);
    EXPECT_EQ(unacknowledged.error().message, "gone");

    valdorBus.shortBy = 1;
    auto shortRead = b.analogInputs();
    ASSERT_FALSE(shortRead.ok());
    EXPECT_EQ(shortRead.error().kind, Error::Kind::ShortRead);
    EXPECT_EQ(shortRead.error().message, "0x25 gave 3 of 4 bytes from register 0x70");
}

TEST_F(BoardTest, ScanListsAnsweringBoardsOnly) {
    auto found = boardhost::scan(valdorBus);
    ASSERT_TRUE(found.ok());
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ((*found)[0].address, 0x25);
    ASSERT_TRUE((*found)[0].descriptor.ok());
    EXPECT_EQ((*found)[0].descriptor->version, "0.2");
}

TEST(FormatMask, OneDigitPerFourChannels) {
    EXPECT_EQ(boardhost::formatMask(0x801, 12), "0x801");
    EXPECT_EQ(boardhost::formatMask(0x4, 4), "0x4");
    EXPECT_EQ(boardhost::formatMask(0x21, 6), "0x21");
    EXPECT_EQ(boardhost::formatMask(0x1, 9), "0x001");
}

} // namespace
