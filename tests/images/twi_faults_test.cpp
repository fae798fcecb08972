// The I2C handler under conditions a quiet bench does not show: interrupts
// taken late on core 1 (the last byte of a write then still waits in the
// receive FIFO when the slave layer reports the end of the transfer; held
// off longer, the next message's first byte waits behind it), a host
// that talks from the board's first moment on the bus, and a 16-bit value
// updated while the host reads it.
#include "link_bench.h"

#include <ostream>
#include <string>

namespace link_test {
namespace {

constexpr std::uint8_t kAddr = addressOfSlot(2);

// Late interrupts, up to almost one byte time: the STOP is seen before the
// interrupt for the last byte is taken.
class LateInterrupts : public LinkTest,
                       public ::testing::WithParamInterface<std::tuple<const char*, int>> {
protected:
    void SetUp() override {
        sim::Board& board = insert(std::get<0>(GetParam()), 2);
        board.chip().setIrqLatency(1, microseconds(std::get<1>(GetParam())));
        start(milliseconds(2) + kStartUp);
    }
};

// The last data byte belongs to the write that ended: it is stored, and it
// is not taken as the address byte of what follows. 0xFF taken as an address
// would select the descriptor ("[" = 0x5B).
TEST_P(LateInterrupts, LastByteOfAWriteStaysInItsWrite) {
    write(kAddr, 0x00, {0xFF});
    EXPECT_EQ(bareRead(kAddr, 2), (Bytes{0x02, 0xC0})); // 0x05, 0x09 follow 0x00
    write(kAddr, 0x60, {0x12});
    EXPECT_EQ(bareRead(kAddr, 1), Bytes{0x00}); // 0x61
    write(kAddr, 0x61, {0x7E});
    write(kAddr, 0x60, {0x12, 0x34, 0x56});
    EXPECT_EQ(bareRead(kAddr, 1), Bytes{0x00}); // 0x63
    EXPECT_EQ(read(kAddr, 0x00, 1), Bytes{0xFF});
    EXPECT_EQ(read(kAddr, 0x60, 4), (Bytes{0x12, 0x34, 0x56, 0x00}));
}

TEST_P(LateInterrupts, RegisterSelectAndCombinedTransfersStillWork) {
    write(kAddr, 0x50, {0xA5, 0x5A});
    EXPECT_EQ(read(kAddr, 0x50, 2), (Bytes{0xA5, 0x5A}));
    transfer({I2cMessage::write(kAddr, {0x09})});
    EXPECT_EQ(bareRead(kAddr, 2), (Bytes{0xC0, 0x01}));
    I2cTransferRecord r =
        transfer({I2cMessage::write(kAddr, {0xFF}), I2cMessage::readBytes(kAddr, 7)});
    EXPECT_EQ(r.messages[1].bytes, (Bytes{'[', '"', 'P', 'i', 'c', 'o', '"'}));
}

TEST_P(LateInterrupts, HeartbeatByteIsCopiedOnce) {
    write(kAddr, 0x0B, {0x85});
    EXPECT_EQ(read(kAddr, 0x05, 3), (Bytes{0x85, 0xC0, 0x85}));
}

std::string lateName(const ::testing::TestParamInfo<LateInterrupts::ParamType>& info) {
    return std::string(std::get<0>(info.param)) + "_" + std::to_string(std::get<1>(info.param)) +
           "us";
}

INSTANTIATE_TEST_SUITE_P(Latency, LateInterrupts,
                         ::testing::Combine(::testing::Values("valdor", "quillet"),
                                            ::testing::Values(10, 30, 60, 85)),
                         lateName);

// Interrupts held off on core 1 for longer than one byte time: bytes of
// several messages of one transfer wait in the receive FIFO together, and
// the end of a message (the repeated START) is handled only after the first
// byte of the next one has come. Each message is still a write of its own:
// its first byte is its register address. The last one sets output channel
// 0 and takes effect without any further transfer, even when its STOP is
// handled in the same late interrupt as the repeated START before it.
struct HeldOffCase {
    const char* name;
    std::vector<Bytes> messages; // writes to the board, joined by repeated STARTs
    std::vector<std::pair<std::uint8_t, std::uint8_t>> registers; // what they leave
};

const HeldOffCase kHeldOffCases[] = {
    {"TwoWrites", {{0x00, 0x5A}, {0x50, 0x01}}, {{0x50, 0x01}, {0x51, 0x00}, {0x00, 0x5A}}},
    {"SelectThenWrites",
     {{0x12}, {0x0B, 0x81}, {0x50, 0x01}},
     {{0x0B, 0x81}, {0x05, 0x81}, {0x12, 0x00}, {0x13, 0x00}, {0x50, 0x01}}},
    {"ThreeWrites",
     {{0x00, 0x11}, {0x60, 0x34, 0x02}, {0x50, 0x01, 0x00}},
     {{0x00, 0x11}, {0x60, 0x34}, {0x61, 0x02}, {0x62, 0x00}, {0x50, 0x01}, {0x51, 0x00}}},
};

void PrintTo(const HeldOffCase& c, std::ostream* os) {
    *os << c.name;
}

class HeldOffInterrupts
    : public LinkTest,
      public ::testing::WithParamInterface<std::tuple<const char*, int, HeldOffCase>> {
protected:
    void SetUp() override {
        board_ = &insert(std::get<0>(GetParam()), 2);
        start(milliseconds(2) + kStartUp);
    }
    // The pin of output channel 0.
    unsigned output0() const { return std::string(std::get<0>(GetParam())) == "valdor" ? 11 : 12; }
    sim::Board* board_ = nullptr;
};

TEST_P(HeldOffInterrupts, EachMessageKeepsItsRegisterAddress) {
    const HeldOffCase& c = std::get<2>(GetParam());
    board_->chip().setIrqLatency(1, microseconds(std::get<1>(GetParam())));
    std::vector<I2cMessage> messages;
    for (const Bytes& m : c.messages)
        messages.push_back(I2cMessage::write(kAddr, m));
    const I2cTransferRecord r = transfer(messages);
    EXPECT_FALSE(r.nacked());
    runFor(milliseconds(2));
    // Output channel 0 goes on after the STOP, before any further transfer.
    const Timeline output = pinChanges(*board_, output0(), r.start);
    EXPECT_TRUE(output.size() == 1 && output[0].first >= r.end && output[0].second)
        << "output channel 0 changes " << output.size() << " times";
    board_->chip().setIrqLatency(1, 0);
    for (const auto& [reg, value] : c.registers)
        EXPECT_EQ(readOne(kAddr, reg), value) << "register 0x" << std::hex << int(reg);
}

std::string heldOffName(const ::testing::TestParamInfo<HeldOffInterrupts::ParamType>& info) {
    return std::string(std::get<0>(info.param)) + "_" + std::to_string(std::get<1>(info.param)) +
           "us_" + std::get<2>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(HeldOff, HeldOffInterrupts,
                         ::testing::Combine(::testing::Values("valdor", "quillet"),
                                            ::testing::Values(100, 150, 200, 300),
                                            ::testing::ValuesIn(kHeldOffCases)),
                         heldOffName);

// A read cut off after an acknowledge leaves bytes queued for it. Held off
// past the next read's address, the end of the cut read is handled after the
// block has flushed them for the new read: that read still goes on from the
// first byte the host did not get.
class HeldOffRead : public LinkTest, public ::testing::WithParamInterface<int> {};

TEST_P(HeldOffRead, TheNextReadGoesOnFromTheFirstByteNotSent) {
    sim::Board& board = insert("valdor", 2);
    start(milliseconds(2) + kStartUp);
    write(kAddr, 0x00, {0x33});
    runFor(milliseconds(1));
    board.chip().setIrqLatency(1, microseconds(GetParam()));
    I2cMessage cut = I2cMessage::readBytes(kAddr, 4);
    cut.breakOff = I2cMessage::Break::Stop;
    cut.breakAfter = 2;
    const I2cTransferRecord r = transfer({I2cMessage::write(kAddr, {0x00}), cut});
    EXPECT_EQ(r.messages[1].bytes, (Bytes{0x33, 0x02})); // 0x00, 0x05
    EXPECT_EQ(bareRead(kAddr, 2), (Bytes{0xC0, 0x01}));  // 0x09, 0x0B
}

INSTANTIATE_TEST_SUITE_P(HeldOff, HeldOffRead, ::testing::Values(0, 150));

// A host that writes heartbeats back to back from power-on: its transfers
// are refused until the link is up and taken from the first one after, with
// the handler's very first notification going to a task that exists.
class EarlyHost : public LinkTest, public ::testing::WithParamInterface<int> {};

TEST_P(EarlyHost, TransfersFromPowerOnAreTakenOnceTheLinkIsUp) {
    sim::Board& board = insert("valdor", 2);
    board.chip().setIrqLatency(1, microseconds(GetParam()));
    bench.powerOn();
    Time firstAck = 0;
    std::uint8_t value = 0x80;
    while (now() < milliseconds(3) + kStartUp) {
        const I2cTransferRecord r = transfer({I2cMessage::write(kAddr, {0x0B, value})});
        if (!r.messages[0].addressAcked) {
            ASSERT_EQ(firstAck, 0u);
            // The address byte ended before the link came up.
            EXPECT_LT(r.start + microseconds(85), kLinkUp + kStartUp);
            continue;
        }
        if (firstAck == 0)
            firstAck = r.start;
        EXPECT_FALSE(r.nacked());
        ++value;
    }
    EXPECT_LE(firstAck + microseconds(85), kLinkUp + kStartUp + microseconds(110));
    runFor(milliseconds(1));
    EXPECT_EQ(read(kAddr, 0x05, 3), (Bytes{static_cast<std::uint8_t>(value - 1), 0xC0,
                                           static_cast<std::uint8_t>(value - 1)}));
}

INSTANTIATE_TEST_SUITE_P(Latency, EarlyHost, ::testing::Values(0, 40));

// valdor publishes analog input 0 in 0x70 (low) and 0x71 (high): once as
// its analog task starts, then every 20 ticks from tick 21, each conversion
// starting on the tick and the value stored when it is done 2 us later. The
// input goes from 0x0FF to 0x100 and back, so a torn reading (one byte from
// each value) shows as 0x1FF or 0x000.
class PairReads : public LinkTest {
protected:
    void SetUp() override {
        board_ = &insert("valdor", 2);
        board_->analog().script(0, {0x0FF, 0x0FF, 0x100, 0x0FF, 0x100});
        // The input's source sees each conversion begin, as a probe on the
        // pin would see the sample capacitor load it.
        board_->analog().setListener([this](unsigned input) {
            if (input == 0)
                conversions_.push_back(now());
        });
        bench.powerOn();
        // Past the conversion of tick 21 (the real binary's ticks start later).
        runUntil(milliseconds(22) + kStartUp);
        ASSERT_EQ(conversions_.size(), 2u);
    }
    void TearDown() override { board_->analog().setListener({}); }
    // The conversion of tick `tick` (21, 41, 61, ...) has stored its value.
    Time storedAt(std::uint64_t tick) const {
        return conversions_.at(1) + milliseconds(tick - 21) + microseconds(2);
    }

    sim::Board* board_ = nullptr;
    std::vector<Time> conversions_;
};

// In [W 0x70][Sr R 2] the board is asked for the low byte 290 us after the
// START and for the high byte 90 us later.
constexpr Time kLowByteAsked = microseconds(290);
constexpr Time kHighByteAsked = microseconds(380);

TEST_F(PairReads, LowThenHighInOneRunComeFromOneUpdate) {
    // The update of tick 41 falls between the two bytes.
    const Time start = storedAt(41) - microseconds(335);
    runUntil(start);
    ASSERT_LT(start + kLowByteAsked, storedAt(41));
    ASSERT_GT(start + kHighByteAsked, storedAt(41));
    EXPECT_EQ(read(kAddr, 0x70, 2), (Bytes{0xFF, 0x00}));
    EXPECT_EQ(read(kAddr, 0x70, 2), (Bytes{0x00, 0x01}));

    // The same inside a longer run: 0x63, then the pair.
    runUntil(storedAt(61) - microseconds(425));
    EXPECT_EQ(read(kAddr, 0x63, 3), (Bytes{0x00, 0x00, 0x01}));
    EXPECT_EQ(read(kAddr, 0x70, 2), (Bytes{0xFF, 0x00}));
}

// A host that reads the pair one byte per transfer reads live values: each
// byte as it stands when asked for, so it can get one byte of each value.
TEST_F(PairReads, OneByteAtATimeReadsEachByteLive) {
    // Low byte asked for 290 us after the START, high byte (a bare read
    // after the bus free time) 490 us after it.
    const Time start = storedAt(41) - microseconds(390);
    runUntil(start);
    EXPECT_EQ(read(kAddr, 0x70, 1), Bytes{0xFF});
    EXPECT_EQ(bareRead(kAddr, 1), Bytes{0x01});
}

} // namespace
} // namespace link_test
