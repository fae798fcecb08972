// The I2C block in slave mode on the bus with the host master, driven at
// register level: a bare processor runs a minimal interrupt handler, or the
// test touches the registers at chosen instants, so the block's own
// behaviour and the bus timing show without the SDK layer.
#include "bank_pins.h"
#include "chip/i2c_controller.h"
#include "kernel/processor.h"
#include "engine/simulation.h"
#include "world/host_master.h"
#include "world/i2c_bus.h"
#include "world/i2c_waveform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace sim {
namespace {

using C = I2cController;
constexpr unsigned kIrq = 23;
constexpr std::uint8_t kAddress = 0x27;
constexpr unsigned kSda = 20;
constexpr unsigned kScl = 21;

class I2cBlockTest : public ::testing::Test {
protected:
    I2cBlockTest() {
        block.connect(bus, kSda, kScl);
        bench = this;
    }
    ~I2cBlockTest() override { bench = nullptr; }

    // The register sequence of the SDK's slave set-up: slave mode with the
    // bus held on a full receive FIFO, own address, the slave interrupts.
    void slaveMode(std::uint8_t address = kAddress) {
        block.write(C::kEnable, 0);
        block.write(C::kCon, C::kConSpeedFast | C::kConRestartEn | C::kConTxEmptyCtrl |
                                 C::kConRxFifoFullHoldCtrl);
        block.write(C::kSar, address);
        block.write(C::kIntrMask, C::kRxFull | C::kRdReq | C::kTxAbrt | C::kStopDet | C::kStartDet);
        block.write(C::kEnable, 1);
    }

    // Core 0 busy forever in main; the handler below takes I2C0_IRQ there.
    void runHandler(Time latency = 0) {
        cpu.setEntry([this] {
            for (;;)
                cpu.busyWaitFor(seconds(100));
            return 0;
        });
        cpu.setIrqHandler(kIrq, &I2cBlockTest::isr);
        cpu.setIrqEnabled(0, kIrq, true);
        cpu.setIrqLatency(0, latency);
        cpu.powerOn();
    }

    static std::string us(Time t) { return std::to_string(t / 1000) + "us"; }

    // A minimal slave: each received byte logged, each read request answered
    // from `replies`.
    static void isr() {
        I2cBlockTest& b = *bench;
        std::uint32_t status = b.block.read(C::kIntrStat);
        std::string when = us(b.sim.now());
        if (status & C::kStartDet) {
            b.block.read(C::kClrStartDet);
            b.log.push_back(when + " start");
        }
        if (status & C::kStopDet) {
            b.block.read(C::kClrStopDet);
            b.log.push_back(when + " stop");
        }
        if (status & C::kRxFull) {
            std::uint32_t v = b.block.read(C::kDataCmd);
            char text[32];
            std::snprintf(text, sizeof text, " rx %02x%s", v & 0xffu,
                          (v & C::kFirstDataByte) ? " first" : "");
            b.log.push_back(when + text);
        }
        if (status & C::kTxAbrt) {
            b.log.push_back(when + " abort " + std::to_string(b.block.read(C::kTxAbrtSource)));
            b.block.read(C::kClrTxAbrt);
        }
        if (status & C::kRdReq) {
            b.block.read(C::kClrRdReq);
            b.log.push_back(when + " rd_req");
            for (unsigned n = 0; n < b.perRequest && !b.replies.empty(); ++n) {
                b.block.write(C::kDataCmd, b.replies.front());
                b.replies.pop_front();
            }
        }
    }

    I2cTransferRecord transfer(std::vector<I2cMessage> messages) {
        return host.transfer(std::move(messages));
    }

    static I2cBlockTest* bench;

    Simulation sim;
    Processor cpu{sim, "chip"};
    I2cBus bus{sim};
    HostMaster host{sim, bus};
    BankPins pins;
    I2cController block{sim, [this](bool level) { cpu.setIrqLine(kIrq, level); }, pins};
    std::vector<std::string> log;
    std::deque<std::uint8_t> replies;
    unsigned perRequest = 1; // bytes of `replies` written per read request
};

I2cBlockTest* I2cBlockTest::bench = nullptr;

TEST_F(I2cBlockTest, AcknowledgesOnlyItsOwnAddress) {
    slaveMode();
    I2cTransferRecord foreign = transfer({I2cMessage::write(0x30, {0x00})});
    ASSERT_EQ(foreign.messages.size(), 1u);
    EXPECT_FALSE(foreign.messages[0].addressAcked);
    EXPECT_TRUE(foreign.nacked());
    // START, address byte and acknowledge bit, STOP; the data byte is never sent.
    EXPECT_EQ(foreign.end - foreign.start, microseconds(105));
    EXPECT_TRUE(foreign.messages[0].bytes.empty());
    EXPECT_EQ(block.rxLevel(), 0u);
    // Every START and STOP on the bus is seen, addressed or not.
    EXPECT_EQ(block.rawInterrupts() & (C::kStartDet | C::kStopDet), C::kStartDet | C::kStopDet);

    I2cTransferRecord own = transfer({I2cMessage::write(kAddress, {0x5a})});
    EXPECT_TRUE(own.messages[0].addressAcked);
    EXPECT_EQ(own.messages[0].acked, std::vector<bool>{true});
    EXPECT_EQ(own.end - own.start, microseconds(195));
    // The bus is free half a clock period after the first STOP.
    EXPECT_EQ(own.start, foreign.end + microseconds(5));
    ASSERT_EQ(block.rxLevel(), 1u);
    EXPECT_EQ(block.read(C::kDataCmd), 0x5au | C::kFirstDataByte);
}

TEST_F(I2cBlockTest, StopDetectionCanBeLimitedToAddressedTransfers) {
    slaveMode();
    block.write(C::kEnable, 0);
    block.write(C::kCon, block.read(C::kCon) | C::kConStopDetIfAddressed);
    block.write(C::kEnable, 1);
    transfer({I2cMessage::write(0x30, {0x00})});
    EXPECT_EQ(block.rawInterrupts() & C::kStopDet, 0u);
    transfer({I2cMessage::write(kAddress, {0x00})});
    EXPECT_NE(block.rawInterrupts() & C::kStopDet, 0u);
}

// The block hears the bus through the wired pins only when IO bank 0 gives
// both to it: the I2C function, and pins that are I2C0's SDA and SCL.
TEST_F(I2cBlockTest, HearsTheBusOnlyThroughPinsRoutedToIt) {
    struct Case {
        unsigned sda, scl, sdaFunction, sclFunction;
        bool hears;
    };
    const Case cases[] = {
        {20, 21, gpiofn::kI2c, gpiofn::kI2c, true},   {0, 1, gpiofn::kI2c, gpiofn::kI2c, true},
        {28, 29, gpiofn::kI2c, gpiofn::kI2c, true},   {20, 21, gpiofn::kSio, gpiofn::kI2c, false},
        {20, 21, gpiofn::kI2c, gpiofn::kNull, false}, {2, 3, gpiofn::kI2c, gpiofn::kI2c, false},
        {21, 20, gpiofn::kI2c, gpiofn::kI2c, false},  {22, 23, gpiofn::kI2c, gpiofn::kI2c, false},
    };
    slaveMode();
    for (const Case& c : cases) {
        SCOPED_TRACE("SDA GPIO" + std::to_string(c.sda) + ", SCL GPIO" + std::to_string(c.scl));
        pins.functions.fill(gpiofn::kNull);
        pins.functions[c.sda] = c.sdaFunction;
        pins.functions[c.scl] = c.sclFunction;
        block.connect(bus, c.sda, c.scl);
        block.read(C::kClrIntr);
        I2cTransferRecord r = transfer({I2cMessage::write(kAddress, {0x01})});
        EXPECT_EQ(r.messages[0].addressAcked, c.hears);
        EXPECT_EQ((block.rawInterrupts() & (C::kStartDet | C::kStopDet | C::kActivity)) != 0,
                  c.hears);
        while (block.read(C::kRxflr) != 0)
            block.read(C::kDataCmd);
    }
}

TEST_F(I2cBlockTest, MasterModeAfterResetDoesNotAnswer) {
    // Enabled with the reset configuration: master, slave disabled. The bus
    // conditions are still detected.
    block.write(C::kEnable, 1);
    I2cTransferRecord r = transfer({I2cMessage::write(0x55, {0x01})});
    EXPECT_FALSE(r.messages[0].addressAcked);
    EXPECT_NE(block.rawInterrupts() & C::kStartDet, 0u);
}

TEST_F(I2cBlockTest, ReceivedBytesRaiseTheInterruptAsTheyArrive) {
    slaveMode();
    runHandler();
    transfer({I2cMessage::write(kAddress, {0x10, 0x55})});
    // Byte n is in the FIFO 8 clock periods into its 90 us slot.
    std::vector<std::string> expected{"0us start", "175us rx 10 first", "265us rx 55",
                                      "285us stop"};
    EXPECT_EQ(log, expected);
}

TEST_F(I2cBlockTest, ReadStretchesTheClockUntilTheHandlerWritesAByte) {
    slaveMode();
    runHandler(microseconds(40));
    replies = {0xa1, 0xb2};
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 2)});
    ASSERT_TRUE(r.messages[0].addressAcked);
    EXPECT_EQ(r.messages[0].bytes, (std::vector<std::uint8_t>{0xa1, 0xb2}));
    EXPECT_EQ(r.messages[0].acked, (std::vector<bool>{true, false}));
    // Each byte is asked for as the block acknowledges (the address, then
    // the master's acknowledge as SCL rises); the handler answers 40 us
    // later and SCL goes IC_SDA_SETUP - 1 cycles (99 at reset, 0.792 us) after
    // that: 5 + 80 + 40.792 + 80 + 40.792 + 80 + 5 + 10.
    EXPECT_EQ(r.end - r.start, microseconds(341) + nanoseconds(584));
    sim.runUntil(microseconds(500));
    std::vector<std::string> expected{"40us start", "125us rd_req", "245us rd_req", "381us stop"};
    EXPECT_EQ(log, expected);
    // The master's NACK of the last byte ends the transmission.
    EXPECT_NE(block.rawInterrupts() & C::kRxDone, 0u);
    EXPECT_FALSE(block.holdingScl());
}

TEST_F(I2cBlockTest, ReadWithAPromptHandlerTakesNoExtraTime) {
    slaveMode();
    runHandler();
    replies = {0x42};
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 1)});
    EXPECT_EQ(r.messages[0].bytes, std::vector<std::uint8_t>{0x42});
    EXPECT_EQ(r.end - r.start, microseconds(195));
}

TEST_F(I2cBlockTest, AHandlerThatNeverAnswersLeavesTheBusStuck) {
    slaveMode();
    runHandler();
    host.setStretchLimit(milliseconds(2));
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 1)});
    EXPECT_TRUE(r.stuck);
    EXPECT_EQ(r.end - r.start, microseconds(95) + milliseconds(2));
    EXPECT_TRUE(block.holdingScl());
    EXPECT_TRUE(bus.sclHeld());
}

TEST_F(I2cBlockTest, CombinedWriteAndReadUseARepeatedStart) {
    slaveMode();
    runHandler();
    replies = {0x01, 0x02};
    I2cTransferRecord r =
        transfer({I2cMessage::write(kAddress, {0x12}), I2cMessage::readBytes(kAddress, 2)});
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_TRUE(r.messages[1].addressAcked);
    EXPECT_EQ(r.messages[1].bytes, (std::vector<std::uint8_t>{0x01, 0x02}));
    // The repeated START: SDA falls a clock period after the write's last
    // acknowledge bit, SCL half a period later.
    EXPECT_EQ(r.messages[1].start - r.start, microseconds(195));
    EXPECT_EQ(r.end - r.start, microseconds(5 + 90 + 90 + 15 + 90 + 90 + 90 + 10));
    std::vector<std::string> expected{"0us start",    "175us rx 12 first", "195us start",
                                      "280us rd_req", "375us rd_req",      "480us stop"};
    EXPECT_EQ(log, expected);
    // Only a slave that was addressed reports the repeated START as such.
    EXPECT_NE(block.rawInterrupts() & C::kRestartDet, 0u);
}

// IC_DATA_CMD bit 11 (FIRST_DATA_BYTE) marks the first byte received after
// each address phase, so bytes that wait in the FIFO across repeated STARTs
// still show where each message began; an address-only message leaves no
// byte and no mark.
TEST_F(I2cBlockTest, EveryMessageMarksItsFirstByteAlsoAfterARepeatedStart) {
    slaveMode();
    I2cTransferRecord r = transfer(
        {I2cMessage::write(kAddress, {0x10, 0x11}), I2cMessage::write(kAddress, {}),
         I2cMessage::write(kAddress, {0x20}), I2cMessage::write(kAddress, {0x40, 0x41, 0x42})});
    ASSERT_EQ(r.messages.size(), 4u);
    EXPECT_NE(block.rawInterrupts() & C::kRestartDet, 0u);
    const std::vector<std::uint32_t> expected{
        0x10u | C::kFirstDataByte, 0x11u, 0x20u | C::kFirstDataByte,
        0x40u | C::kFirstDataByte, 0x41u, 0x42u};
    std::vector<std::uint32_t> seen;
    while (block.rxLevel() > 0) {
        const std::uint32_t head = block.peek(C::kDataCmd);
        const std::uint32_t popped = block.read(C::kDataCmd);
        EXPECT_EQ(head, popped); // peeking keeps the mark with its byte
        seen.push_back(popped);
    }
    EXPECT_EQ(seen, expected);
    // The next transfer's first byte is marked again.
    transfer({I2cMessage::write(kAddress, {0x50, 0x51})});
    EXPECT_EQ(block.read(C::kDataCmd), 0x50u | C::kFirstDataByte);
    EXPECT_EQ(block.read(C::kDataCmd), 0x51u);
}

TEST_F(I2cBlockTest, FullReceiveFifoHoldsTheClockUntilThereIsRoom) {
    slaveMode();
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t i = 0; i < 17; ++i)
        bytes.push_back(i);
    // The processor takes one byte at 2 ms, long after the FIFO filled up.
    CallbackEvent drain([this] { block.read(C::kDataCmd); });
    sim.schedule(drain, milliseconds(2));
    I2cTransferRecord r = transfer({I2cMessage::write(kAddress, bytes)});
    EXPECT_EQ(r.messages[0].acked, std::vector<bool>(17, true));
    // The 17th byte is in at 1615 us (START, address byte, 16 bytes, 8
    // bits); it waits there until 2 ms, when SCL rises for its acknowledge
    // bit (the master's low phase is long over); the STOP follows.
    EXPECT_EQ(r.end, milliseconds(2) + microseconds(5 + 10));
    EXPECT_EQ(block.rxLevel(), 16u);
    EXPECT_EQ(block.rawInterrupts() & C::kRxOver, 0u);
    // Nothing was lost: byte 1 to 16 are there in order.
    for (std::uint32_t i = 1; i < 17; ++i)
        EXPECT_EQ(block.read(C::kDataCmd) & 0xffu, i);
}

TEST_F(I2cBlockTest, DisablingTheBlockNacksTheByteItHeldOnAFullFifo) {
    slaveMode();
    std::vector<std::uint8_t> bytes(18, 0x5a);
    // Disabled at 2 ms instead of read: the 17th byte goes unacknowledged.
    CallbackEvent disable([this] { block.write(C::kEnable, 0); });
    sim.schedule(disable, milliseconds(2));
    I2cTransferRecord r = transfer({I2cMessage::write(kAddress, bytes)});
    std::vector<bool> acked(16, true);
    acked.push_back(false);
    EXPECT_EQ(r.messages[0].acked, acked);
    EXPECT_EQ(r.end, milliseconds(2) + microseconds(5 + 10)); // the NACK bit, then STOP
    EXPECT_EQ(block.rxLevel(), 0u);
    EXPECT_FALSE(bus.sclHeld());
}

TEST_F(I2cBlockTest, FullReceiveFifoWithoutHoldingLosesBytes) {
    slaveMode();
    block.write(C::kEnable, 0);
    block.write(C::kCon, block.read(C::kCon) & ~C::kConRxFifoFullHoldCtrl);
    block.write(C::kEnable, 1);
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t i = 0; i < 18; ++i)
        bytes.push_back(i);
    I2cTransferRecord r = transfer({I2cMessage::write(kAddress, bytes)});
    // Acknowledged on the bus, dropped in the block.
    EXPECT_EQ(r.messages[0].acked, std::vector<bool>(18, true));
    EXPECT_EQ(r.end - r.start, microseconds(5 + 19 * 90 + 10));
    EXPECT_EQ(block.rxLevel(), 16u);
    EXPECT_NE(block.rawInterrupts() & C::kRxOver, 0u);
    block.read(C::kClrRxOver);
    EXPECT_EQ(block.rawInterrupts() & C::kRxOver, 0u);
    for (std::uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(block.read(C::kDataCmd) & 0xffu, i);
}

TEST_F(I2cBlockTest, StaleTransmitBytesAreFlushedWhenAReadBegins) {
    slaveMode();
    block.write(C::kDataCmd, 0x11);
    block.write(C::kDataCmd, 0x22);
    ASSERT_EQ(block.txLevel(), 2u);
    CallbackEvent answer([this] {
        // While the abort is pending the FIFO refuses bytes.
        block.write(C::kDataCmd, 0x33);
        EXPECT_EQ(block.txLevel(), 0u);
        EXPECT_EQ(block.read(C::kTxAbrtSource), C::kAbrtSlvFlushTxFifo | (2u << 23));
        block.read(C::kClrTxAbrt);
        EXPECT_EQ(block.read(C::kTxAbrtSource), 0u);
        block.write(C::kDataCmd, 0x44);
    });
    sim.schedule(answer, microseconds(100));
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 1)});
    EXPECT_EQ(r.messages[0].bytes, std::vector<std::uint8_t>{0x44});
    // Held from 95 us until the answer at 100 us and its set-up time.
    EXPECT_EQ(r.end - r.start, microseconds(100 + 80 + 5 + 10) + nanoseconds(792));
}

TEST_F(I2cBlockTest, AfterATransmitAbortBothFifosStayFlushedUntilItIsCleared) {
    for (std::uint32_t clear : {C::kClrTxAbrt, C::kClrIntr}) {
        SCOPED_TRACE(clear);
        slaveMode();
        block.write(C::kDataCmd, 0x11);
        transfer({I2cMessage::readBytes(kAddress, 0)}); // aborts on the stale byte
        ASSERT_NE(block.rawInterrupts() & C::kTxAbrt, 0u);
        block.write(C::kDataCmd, 0x22);
        EXPECT_EQ(block.txLevel(), 0u);
        // Acknowledged, but not kept.
        I2cTransferRecord r = transfer({I2cMessage::write(kAddress, {0x33})});
        EXPECT_EQ(r.messages[0].acked, std::vector<bool>{true});
        EXPECT_EQ(block.rxLevel(), 0u);
        block.read(clear);
        EXPECT_EQ(block.rawInterrupts() & C::kTxAbrt, 0u);
        block.write(C::kDataCmd, 0x44);
        EXPECT_EQ(block.txLevel(), 1u);
        transfer({I2cMessage::write(kAddress, {0x55})});
        EXPECT_EQ(block.read(C::kDataCmd) & 0xffu, 0x55u);
        block.resetBlock();
    }
}

// Bytes queued ahead go out without a request each; RD_REQ comes only
// when the master acknowledges with the FIFO empty. When it refuses a byte,
// what is still queued is flushed with a transmit abort that counts it.
struct BulkCase {
    unsigned perRequest;
    unsigned length; // bytes the master reads
    std::vector<std::string> requests;
    std::uint32_t flushed; // TX_FLUSH_CNT; 0: no abort
};

class I2cBlockBulkTest : public I2cBlockTest, public ::testing::WithParamInterface<BulkCase> {};

TEST_P(I2cBlockBulkTest, QueuedBytesGoOutUntilTheMasterRefusesOne) {
    const BulkCase c = GetParam();
    slaveMode();
    runHandler();
    perRequest = c.perRequest;
    const std::vector<std::uint8_t> bytes{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    replies.assign(bytes.begin(), bytes.end());
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, c.length)});
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].bytes,
              std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + c.length));
    sim.runUntil(r.end);
    std::vector<std::string> requests, aborts;
    for (const std::string& line : log) {
        if (line.find("rd_req") != std::string::npos)
            requests.push_back(line.substr(0, line.find(' ')));
        if (line.find("abort") != std::string::npos)
            aborts.push_back(line.substr(line.rfind(' ') + 1));
    }
    EXPECT_EQ(requests, c.requests);
    EXPECT_EQ(block.txLevel(), 0u);
    std::vector<std::string> expectedAborts;
    if (c.flushed != 0)
        expectedAborts.push_back(std::to_string(C::kAbrtSlvFlushTxFifo | (c.flushed << 23)));
    EXPECT_EQ(aborts, expectedAborts);
    // Never a full answer held back: with the handler prompt, no byte waited.
    EXPECT_EQ(r.end - r.start, microseconds(5 + 90 + 90 * c.length + 10));
}

INSTANTIATE_TEST_SUITE_P(
    Queued, I2cBlockBulkTest,
    ::testing::Values(
        // One byte per request: asked at the address (85 us) and at each acknowledge.
        BulkCase{1, 3, {"85us", "180us", "270us"}, 0},
        // Four queued, two taken: the other two flushed as the master refuses the second.
        BulkCase{4, 2, {"85us"}, 2},
        // Four queued and taken: nothing left, no abort.
        BulkCase{4, 4, {"85us"}, 0},
        // Three per request, five read: asked again when the third is acknowledged.
        BulkCase{3, 5, {"85us", "360us"}, 1}));

TEST_F(I2cBlockTest, ClearRegistersClearOnlyTheirOwnBit) {
    slaveMode();
    transfer({I2cMessage::write(0x30, {0x00})});
    std::uint32_t both = C::kStartDet | C::kStopDet;
    ASSERT_EQ(block.read(C::kIntrStat) & both, both);
    EXPECT_TRUE(cpu.irqLine(kIrq));
    block.read(C::kClrStopDet);
    EXPECT_EQ(block.read(C::kIntrStat) & both, C::kStartDet);
    EXPECT_TRUE(cpu.irqLine(kIrq));
    block.read(C::kClrStartDet);
    EXPECT_EQ(block.read(C::kIntrStat), 0u);
    EXPECT_FALSE(cpu.irqLine(kIrq));
    // Raw status keeps bits that the mask hides.
    EXPECT_NE(block.read(C::kRawIntrStat) & C::kActivity, 0u);
    block.read(C::kClrIntr);
    EXPECT_EQ(block.read(C::kRawIntrStat) & C::kActivity, 0u);
}

TEST_F(I2cBlockTest, ReadingAnEmptyReceiveFifoRaisesRxUnder) {
    slaveMode();
    EXPECT_EQ(block.read(C::kDataCmd), 0u);
    EXPECT_NE(block.rawInterrupts() & C::kRxUnder, 0u);
}

TEST_F(I2cBlockTest, ResetLetsGoOfAHeldClock) {
    slaveMode();
    CallbackEvent reset([this] { block.reset(); });
    sim.schedule(reset, microseconds(300));
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 1)});
    // Held from 95 us until the reset; nobody drives SDA afterwards.
    EXPECT_EQ(r.messages[0].bytes, std::vector<std::uint8_t>{0xff});
    EXPECT_EQ(r.end, microseconds(300 + 85 + 10));
    EXPECT_FALSE(bus.sclHeld());
}

// One line's edges as a logic analyser on the bus draws them, in time order
// once `sorted` is called.
struct LineLog {
    LineLog(HostMaster& host, I2cLine line)
        : lines(host.timing(), [this, line](Time at, I2cLine l, bool v) {
              if (l == line)
                  edges.emplace_back(at, v);
          }) {
        host.setPhaseListener([this](const I2cPhase& p) { lines.step(p); });
    }
    std::vector<std::pair<Time, bool>>& sorted() {
        std::stable_sort(edges.begin(), edges.end());
        return edges;
    }
    std::vector<std::pair<Time, bool>> edges;
    I2cWaveform lines;
};

// The slave side's timing, per bus rate and handler latency: RD_REQ rises as
// the block acknowledges the address and as it samples the master's
// acknowledge; SCL is held only if the FIFO is still empty when SCL falls,
// and let go IC_SDA_SETUP - 1 cycles (0.792 us) after the answer. Only what is left past
// the master's own low phase shows on the bus.
struct AnswerCase {
    std::uint32_t hz;
    Time latency;    // from RD_REQ to the handler's write
    Time total;      // a two-byte read, START to STOP
    Time longestLow; // SCL's longest low phase on the bus
};

class I2cBlockAnswerTest : public I2cBlockTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(I2cBlockAnswerTest, AnAnswerWithinTheMastersLowPhaseNeverShows) {
    const AnswerCase c = GetParam();
    host.setRate(c.hz);
    LineLog scl(host, I2cLine::Scl);
    slaveMode();
    runHandler(c.latency);
    replies = {0x5a, 0xa5};
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 2)});
    EXPECT_EQ(r.messages[0].bytes, (std::vector<std::uint8_t>{0x5a, 0xa5}));
    EXPECT_EQ(r.end - r.start, c.total);
    const auto& edges = scl.sorted();
    Time longest = 0;
    for (std::size_t i = 1; i < edges.size(); ++i) {
        if (!edges[i - 1].second && edges[i].second)
            longest = std::max(longest, edges[i].first - edges[i - 1].first);
    }
    EXPECT_EQ(longest, c.longestLow);
}

const Time kUs = microseconds(1), kNs = nanoseconds(1);
INSTANTIATE_TEST_SUITE_P(RatesAndLatencies, I2cBlockAnswerTest,
                         ::testing::Values(
                             // 100 kHz: 5 us low, 5 us high. RD_REQ at 85 us (SCL falls at 95,
                             // the master rises at 100) and at the acknowledge's rise, 180 us
                             // (falls 185, rises 190).
                             AnswerCase{100000, 0, 285 * kUs, 5 * kUs},
                             AnswerCase{100000, 9 * kUs, 285 * kUs, 5 * kUs},
                             // The address answer is held 95..97.792, unseen; the second byte
                             // shows 2.792 us past the master's low phase.
                             AnswerCase{100000, 12 * kUs, 287792 * kNs, 7792 * kNs},
                             AnswerCase{100000, 20 * kUs, 301584 * kNs, 15792 * kNs},
                             // 400 kHz: 1.3 us low, 1.2 us high; RD_REQ at 21.2 us and 45.0 us.
                             AnswerCase{400000, 0, 71200 * kNs, 1300 * kNs},
                             AnswerCase{400000, 1500 * kNs, 71200 * kNs, 1300 * kNs},
                             AnswerCase{400000, 2800 * kNs, 72292 * kNs, 2392 * kNs},
                             AnswerCase{400000, 20 * kUs, 106484 * kNs, 19592 * kNs}));

// The line timing the block drives and hears comes from its timing
// registers, in ic_clk cycles (8 ns): SDA changes IC_SDA_HOLD.TX_HOLD after
// SCL falls, and a clock pulse of IC_FS_SPKLEN cycles or less never reaches
// it. A Raspberry Pi master that ends a held clock on its own grid leaves a
// 200 ns pulse: a filter that takes it for a spike puts the block a bit
// behind the master.
struct LineCase {
    std::uint32_t txHold;
    std::uint32_t spikeLength;
    std::vector<std::uint8_t> read;
};

class I2cBlockLineTest : public I2cBlockTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(I2cBlockLineTest, SdaHoldAndSpikeFilterFollowTheirRegisters) {
    const LineCase c = GetParam();
    host.setKind(I2cHostKind::Bcm2835);
    LineLog sda(host, I2cLine::Sda);
    slaveMode();
    block.write(C::kEnable, 0);
    block.write(C::kSdaHold, c.txHold);
    block.write(C::kFsSpklen, c.spikeLength);
    block.write(C::kSdaSetup, 101); // 100 cycles
    block.write(C::kEnable, 1);
    // Asked at 85 us; SCL held from 95; the answer at 104 us lets it go at
    // 104.8, 200 ns before the Pi's own fall at 105.
    runHandler(19 * kUs);
    replies = {0x34, 0x12};
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 2)});
    EXPECT_EQ(r.messages[0].bytes, c.read);
    // The block's acknowledge of the address goes onto SDA its hold time
    // after SCL falls at 85 us.
    const auto& edges = sda.sorted();
    const auto ack = std::find_if(edges.begin(), edges.end(), [](const std::pair<Time, bool>& e) {
        return e.first > 80 * kUs && !e.second;
    });
    ASSERT_NE(ack, edges.end());
    EXPECT_EQ(ack->first, 85 * kUs + c.txHold * 8 * kNs);
}

INSTANTIATE_TEST_SUITE_P(Registers, I2cBlockLineTest,
                         ::testing::Values(
                             // Seen: the first bit was on SDA only after the Pi sampled (1), the
                             // rest in step.
                             LineCase{1, 7, {0xb4, 0x12}}, LineCase{38, 24, {0xb4, 0x12}},
                             // Filtered: one bit behind; the Pi's acknowledge lands on the
                             // block's last bit and it stops sending.
                             LineCase{38, 25, {0x9a, 0xff}}, LineCase{200, 46, {0x9a, 0xff}}));

} // namespace
} // namespace sim
