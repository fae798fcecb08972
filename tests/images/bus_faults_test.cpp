// Faults of the host master on a shared bus: messages broken off by a STOP or
// a repeated START after any byte, a NACK in the middle of a read, a master
// that stops clocking and recovers the bus with nine clocks and a STOP,
// transfers to absent addresses between real ones, and a board reset in the
// middle of a transfer. Each has its outcome for the board (what is applied,
// what a read without an address byte gives next), and the board answers
// normally at the next transfer.
#include "link_bench.h"

#include "chip/watchdog.h"
#include "engine/event_queue.h"

#include <string>

namespace link_test {
namespace {

using Break = I2cMessage::Break;

constexpr std::uint8_t kValdor = addressOfSlot(2);
constexpr std::uint8_t kQuillet = addressOfSlot(5);
constexpr std::uint8_t kEmptySlot = addressOfSlot(6);

I2cMessage broken(I2cMessage m, Break how, std::size_t after, Time hang = 0) {
    m.breakOff = how;
    m.breakAfter = after;
    m.hangFor = hang;
    return m;
}

const char* breakName(Break how) {
    switch (how) {
    case Break::Stop:
        return "Stop";
    case Break::RepeatedStart:
        return "Sr";
    case Break::Hang:
        return "Hang";
    case Break::None:
        break;
    }
    return "None";
}

class BusFaults : public LinkTest {
protected:
    void SetUp() override {
        valdor_ = &insert("valdor", 2);
        quillet_ = &insert("quillet", 5);
        start(milliseconds(5));
    }
    // A write and a read back on both boards, as after any fault.
    void answersNormally() {
        for (std::uint8_t address : {kValdor, kQuillet}) {
            write(address, 0x00, {0x77});
            runFor(milliseconds(1));
            EXPECT_EQ(read(address, 0x00, 1), Bytes{0x77})
                << "board 0x" << std::hex << int(address);
            EXPECT_EQ(read(address, 0x09, 1), Bytes{0xC0})
                << "board 0x" << std::hex << int(address);
        }
    }

    sim::Board* valdor_ = nullptr;
    sim::Board* quillet_ = nullptr;
};

// --- writes broken off ------------------------------------------------------------

// The write [0x00 0x5A 0x44] (spare register, then the heartbeat 0x05) after
// 0x00 was set to 0x33 and 0x09 selected. A STOP or a repeated START ends a
// write like any other: what came before it is applied. The nine clocks of a
// recovery reach the board as a byte 0xFF; after a stall of more than 35 ms
// the board cuts the write there: what came before is applied, the ones are
// not. After the address byte alone, they select the descriptor.
struct WriteCase {
    Break how;
    std::size_t after;
    Time hang;
    Bytes table;       // 0x00, 0x05 afterwards
    std::uint8_t next; // a one-byte read without an address byte
};

class WriteBrokenOff : public BusFaults, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteBrokenOff, AppliesWhatCameBeforeTheBreakOnly) {
    const WriteCase& c = GetParam();
    write(kValdor, 0x00, {0x33});
    transfer({I2cMessage::write(kValdor, {0x09})});
    runFor(milliseconds(1));

    std::vector<I2cMessage> messages{
        broken(I2cMessage::write(kValdor, {0x00, 0x5A, 0x44}), c.how, c.after, c.hang)};
    // A repeated START leads into a write to the other board.
    messages.push_back(I2cMessage::write(kQuillet, {0x00, 0x66}));
    const I2cTransferRecord r = transfer(messages);
    EXPECT_EQ(r.messages[0].bytes.size(), c.after);
    EXPECT_EQ(r.recovered, c.how == Break::Hang);
    EXPECT_EQ(r.messages.size(), c.how == Break::RepeatedStart ? 2u : 1u);
    runFor(milliseconds(1));

    EXPECT_EQ(bareRead(kValdor, 1), Bytes{c.next});
    EXPECT_EQ(read(kValdor, 0x00, 2), c.table);
    EXPECT_EQ(read(kQuillet, 0x00, 1),
              Bytes{std::uint8_t(c.how == Break::RepeatedStart ? 0x66 : 0)});
    answersNormally();
}

const Bytes kBefore{0x33, 0x02};
const WriteCase kWriteCases[] = {
    {Break::Stop, 0, 0, kBefore, 0xC0},          // 0x09 still selected
    {Break::Stop, 1, 0, kBefore, 0x33},          // 0x00 selected
    {Break::Stop, 2, 0, {0x5A, 0x02}, 0x02},     // 0x00 written, 0x05 next
    {Break::Stop, 3, 0, {0x5A, 0x44}, 0xC0},     // the whole write
    {Break::RepeatedStart, 0, 0, kBefore, 0xC0}, //
    {Break::RepeatedStart, 1, 0, kBefore, 0x33}, //
    {Break::RepeatedStart, 2, 0, {0x5A, 0x02}, 0x02},
    {Break::RepeatedStart, 3, 0, {0x5A, 0x44}, 0xC0},
    {Break::Hang, 0, milliseconds(50), kBefore, '['}, // 0xFF: the descriptor
    {Break::Hang, 1, milliseconds(50), kBefore, 0x33},
    {Break::Hang, 2, milliseconds(50), {0x5A, 0x02}, 0x02},
    {Break::Hang, 3, milliseconds(50), {0x5A, 0x44}, 0xC0},
    {Break::Hang, 2, milliseconds(36), {0x5A, 0x02}, 0x02},
    // A stall the board cannot tell from a slow host's pause: the ones are data.
    {Break::Hang, 2, milliseconds(34), {0x5A, 0xFF}, 0xC0},
};

std::string writeName(const ::testing::TestParamInfo<WriteCase>& info) {
    return std::string(breakName(info.param.how)) + "After" + std::to_string(info.param.after) +
           (info.param.hang ? "_" + std::to_string(info.param.hang / milliseconds(1)) + "ms" : "");
}

INSTANTIATE_TEST_SUITE_P(Faults, WriteBrokenOff, ::testing::ValuesIn(kWriteCases), writeName);

// --- reads broken off ---------------------------------------------------------------

// [W 0x00][Sr R 4] over 0x00 (set to 0x33), 0x05, 0x09, 0x0B, broken off
// after k bytes. The board is asked for byte k as the master acknowledges
// byte k - 1; when no byte it sent goes unacknowledged (a STOP or repeated
// START instead), it takes byte k back and a read without an address byte
// starts there. A recovery clocks byte k out, so the next read starts after
// it. A NACK in the middle of a read ends the board's part: what the master
// clocks on reads 0xFF.
struct ReadCase {
    Break how;
    std::size_t after; // or, with Break::None, the byte the master does not acknowledge
    Bytes seen;        // what the read message got
    std::uint8_t next;
};

class ReadBrokenOff : public BusFaults, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadBrokenOff, NextReadStartsAtTheFirstByteNotSent) {
    const ReadCase& c = GetParam();
    write(kValdor, 0x00, {0x33});
    runFor(milliseconds(1));

    I2cMessage readPart = I2cMessage::readBytes(kValdor, 4);
    if (c.how == Break::None)
        readPart.nackAt = c.after;
    else
        readPart = broken(readPart, c.how, c.after, milliseconds(50));
    const I2cTransferRecord r = transfer(
        {I2cMessage::write(kValdor, {0x00}), readPart, I2cMessage::write(kQuillet, {0x00, 0x66})});
    ASSERT_GE(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[1].bytes, c.seen);
    if (c.how == Break::Hang) {
        const Bytes table{0x33, 0x02, 0xC0, 0x01};
        EXPECT_EQ(r.recoveryByte, table[c.after]);
    }
    EXPECT_EQ(bareRead(kValdor, 1), Bytes{c.next});
    answersNormally();
}

const ReadCase kReadCases[] = {
    {Break::Stop, 0, {}, 0x33},
    {Break::Stop, 1, {0x33}, 0x02},
    {Break::Stop, 3, {0x33, 0x02, 0xC0}, 0x01},
    {Break::RepeatedStart, 0, {}, 0x33},
    {Break::RepeatedStart, 2, {0x33, 0x02}, 0xC0},
    {Break::Hang, 0, {}, 0x02},
    {Break::Hang, 2, {0x33, 0x02}, 0x01},
    {Break::Hang, 3, {0x33, 0x02, 0xC0}, 0x00}, // 0x12 follows 0x0B
    {Break::None, 0, {0x33, 0xFF, 0xFF, 0xFF}, 0x02},
    {Break::None, 1, {0x33, 0x02, 0xFF, 0xFF}, 0xC0},
    {Break::None, 2, {0x33, 0x02, 0xC0, 0xFF}, 0x01},
};

std::string readName(const ::testing::TestParamInfo<ReadCase>& info) {
    return (info.param.how == Break::None ? std::string("NackAt")
                                          : std::string(breakName(info.param.how)) + "After") +
           std::to_string(info.param.after);
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadBrokenOff, ::testing::ValuesIn(kReadCases), readName);

// The descriptor's position is kept the same way.
TEST_F(BusFaults, DescriptorReadBrokenOffGoesOnFromTheFirstByteNotSent) {
    const I2cTransferRecord r =
        transfer({I2cMessage::write(kValdor, {0xFF}),
                  broken(I2cMessage::readBytes(kValdor, 8), Break::Stop, 3)});
    EXPECT_EQ(r.messages[1].bytes, (Bytes{'[', '"', 'P'}));
    EXPECT_EQ(bareRead(kValdor, 3), (Bytes{'i', 'c', 'o'}));
}

// --- absent addresses between real ones -----------------------------------------

// Nobody answers at an empty slot's address or outside the slot range; the
// boards' state is what the transfers to them made it.
TEST_F(BusFaults, TransfersToAbsentAddressesChangeNothing) {
    struct Step {
        std::vector<I2cMessage> messages;
        std::size_t firstNacked; // index of the message not acknowledged, or its count
    };
    const std::vector<Step> steps = {
        {{I2cMessage::write(kValdor, {0x09})}, 1},
        {{I2cMessage::write(0x30, {0x50, 0xFF, 0x0F})}, 0},
        {{I2cMessage::readBytes(kEmptySlot, 2)}, 0},
        {{I2cMessage::write(kQuillet, {0x00, 0x44}), I2cMessage::write(0x31, {0x50, 0xFF})}, 1},
        {{I2cMessage::write(0x31, {0x00, 0x55}), I2cMessage::write(kQuillet, {0x00, 0x55})}, 0},
        {{I2cMessage::write(kEmptySlot, {})}, 0},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const I2cTransferRecord r = transfer(steps[i].messages);
        for (std::size_t m = 0; m < r.messages.size(); ++m)
            EXPECT_EQ(r.messages[m].addressAcked, m < steps[i].firstNacked)
                << "step " << i << ", message " << m;
        // The master stops at the first address nobody acknowledges.
        EXPECT_EQ(r.messages.size(), std::min(steps[i].messages.size(), steps[i].firstNacked + 1))
            << "step " << i;
    }
    runFor(milliseconds(1));
    EXPECT_EQ(bareRead(kValdor, 1), Bytes{0xC0});  // still 0x09
    EXPECT_EQ(bareRead(kQuillet, 1), Bytes{0x02}); // 0x05, after the write of 0x00
    EXPECT_EQ(read(kQuillet, 0x00, 1), Bytes{0x44});
    EXPECT_EQ(read(kValdor, 0x50, 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(read(kQuillet, 0x50, 2), (Bytes{0x00, 0x00}));
    answersNormally();
}

// --- a board reset in the middle of a transfer -------------------------------------

// The host writes [0x00 0x5A 0x44 0x00 0x0B] to one board while one of the
// boards goes through a reset in the middle of byte `byte` of the message
// (address byte = 0). A board that resets lets go of the bus at once: the
// rest of a write to it is not acknowledged and the master stops, and it
// answers again as after power-on once its link is up. The other board
// misses nothing.
struct ResetCase {
    bool resetTarget; // the board being written, or the other one
    bool power;       // a power cycle, or a watchdog reset
    std::size_t byte;
};

class ResetMidTransfer : public BusFaults, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetMidTransfer, TheResetBoardComesBackAndTheOtherGoesOn) {
    const ResetCase& c = GetParam();
    write(kValdor, 0x50, {0x0F});
    write(kQuillet, 0x50, {0x0F});
    runFor(milliseconds(1));
    sim::Board& victim = c.resetTarget ? *valdor_ : *quillet_;
    const std::uint8_t victimAddress = c.resetTarget ? kValdor : kQuillet;
    const std::uint8_t survivorAddress = c.resetTarget ? kQuillet : kValdor;

    // The transfer starts at the next instant, its first byte half a clock later.
    const Time resetAt = now() + microseconds(5) + c.byte * kByteTime + kByteTime / 2;
    sim::CallbackEvent reset([&] {
        if (c.power) {
            victim.chip().watchdog.powerOnReset();
            victim.chip().reset("power cycle");
        } else {
            victim.chip().watchdog.write(sim::Watchdog::kCtrl, sim::Watchdog::kCtrlTrigger);
        }
    });
    bench.simulation().schedule(reset, resetAt);
    const Bytes data{0x00, 0x5A, 0x44, 0x00, 0x0B};
    const I2cTransferRecord r = transfer({I2cMessage::write(kValdor, data)});
    EXPECT_FALSE(r.stuck);
    ASSERT_EQ(victim.chip().resets(), 1u);

    // Bytes up to the reset went through; from the reset on a reset valdor
    // acknowledges nothing.
    if (c.resetTarget) {
        EXPECT_TRUE(r.nacked());
        EXPECT_EQ(r.messages[0].addressAcked, c.byte > 0);
        EXPECT_EQ(r.messages[0].bytes.size(), c.byte);
    } else {
        EXPECT_FALSE(r.nacked());
        EXPECT_EQ(r.messages[0].bytes, data);
    }
    // Meanwhile the survivor answers as ever.
    write(survivorAddress, 0x00, {0x21});
    EXPECT_FALSE(answers(victimAddress));

    runUntil(resetAt + kLinkUp + kStartUp + milliseconds(1));
    runFor(milliseconds(1));
    // The reset board is as after power-on: outputs off, the table initial.
    EXPECT_EQ(read(victimAddress, 0x00, 4), (Bytes{0x00, 0x02, 0xC0, 0x01}));
    EXPECT_EQ(read(victimAddress, 0x50, 2), (Bytes{0x00, 0x00}));
    // The survivor kept its outputs and got its writes.
    EXPECT_EQ(read(survivorAddress, 0x50, 1), Bytes{0x0F});
    if (!c.resetTarget) {
        EXPECT_EQ(read(kValdor, 0x05, 1), Bytes{0x44});
    }
    EXPECT_EQ(read(survivorAddress, 0x00, 1), Bytes{0x21});
    answersNormally();
}

const ResetCase kResetCases[] = {
    {true, false, 0},  {true, false, 1}, {true, false, 3},  {true, true, 2},
    {false, false, 0}, {false, true, 2}, {false, false, 4},
};

std::string resetName(const ::testing::TestParamInfo<ResetCase>& info) {
    return std::string(info.param.resetTarget ? "Target" : "Other") +
           (info.param.power ? "Power" : "Watchdog") + "InByte" + std::to_string(info.param.byte);
}

INSTANTIATE_TEST_SUITE_P(Faults, ResetMidTransfer, ::testing::ValuesIn(kResetCases), resetName);

// A reset of the board while it sends: the rest of the read comes from the
// pull-up, and the bus is free at the STOP.
TEST_F(BusFaults, ResetWhileTheBoardSendsLeavesTheBusFree) {
    write(kValdor, 0x00, {0x33});
    runFor(milliseconds(1));
    // The read's address byte ends 280 us after the START; its third byte is
    // clocked from 470 us on.
    const Time resetAt = now() + microseconds(515);
    sim::CallbackEvent reset(
        [&] { valdor_->chip().watchdog.write(sim::Watchdog::kCtrl, sim::Watchdog::kCtrlTrigger); });
    bench.simulation().schedule(reset, resetAt);
    const I2cTransferRecord r =
        transfer({I2cMessage::write(kValdor, {0x00}), I2cMessage::readBytes(kValdor, 5)});
    EXPECT_FALSE(r.stuck);
    ASSERT_EQ(r.messages.size(), 2u);
    ASSERT_EQ(r.messages[1].bytes.size(), 5u);
    EXPECT_EQ(Bytes(r.messages[1].bytes.begin(), r.messages[1].bytes.begin() + 2),
              (Bytes{0x33, 0x02}));
    EXPECT_EQ(Bytes(r.messages[1].bytes.begin() + 3, r.messages[1].bytes.end()),
              (Bytes{0xFF, 0xFF}));
    write(kQuillet, 0x00, {0x21});
    runUntil(resetAt + kLinkUp + kStartUp + milliseconds(1));
    EXPECT_EQ(read(kValdor, 0x00, 1), Bytes{0x00});
    answersNormally();
}

} // namespace
} // namespace link_test
