// The I2C block in slave mode on the bus with the host master, driven at
// register level: a bare processor runs a minimal interrupt handler, or the
// test touches the registers at chosen instants, so the block's own
// behaviour and the bus timing show without the SDK layer.
#include "chip/i2c_controller.h"
#include "kernel/processor.h"
#include "kernel/simulation.h"
#include "world/host_master.h"
#include "world/i2c_bus.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace sim {
namespace {

using C = I2cController;
constexpr unsigned kIrq = 23;
constexpr std::uint8_t kAddress = 0x27;

class I2cBlockTest : public ::testing::Test {
protected:
    I2cBlockTest() {
        block.connect(bus, [this] { return routed; });
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
        if (status & C::kRdReq) {
            b.block.read(C::kClrRdReq);
            b.log.push_back(when + " rd_req");
            if (!b.replies.empty()) {
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
    I2cController block{cpu, kIrq};
    bool routed = true;
    std::vector<std::string> log;
    std::deque<std::uint8_t> replies;
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

TEST_F(I2cBlockTest, DeafWhileItsPinsAreNotRoutedToIt) {
    slaveMode();
    routed = false;
    I2cTransferRecord r = transfer({I2cMessage::write(kAddress, {0x01})});
    EXPECT_FALSE(r.messages[0].addressAcked);
    EXPECT_EQ(block.rawInterrupts() & (C::kStartDet | C::kStopDet | C::kActivity), 0u);

    routed = true;
    r = transfer({I2cMessage::write(kAddress, {0x01})});
    EXPECT_TRUE(r.messages[0].addressAcked);
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
    // Each byte waits 40 us for the late handler: 5 + 90 + 40 + 90 + 40 + 90 + 10.
    EXPECT_EQ(r.end - r.start, microseconds(365));
    sim.runUntil(microseconds(500));
    std::vector<std::string> expected{"40us start", "135us rd_req", "265us rd_req", "405us stop"};
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
                                      "290us rd_req", "380us rd_req",      "480us stop"};
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
    // bits); it waits there until 2 ms, then its acknowledge bit and the
    // STOP follow.
    EXPECT_EQ(r.end, milliseconds(2) + microseconds(10 + 10));
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
    EXPECT_EQ(r.end, milliseconds(2) + microseconds(20)); // the NACK bit, then STOP
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
    EXPECT_EQ(r.end - r.start, microseconds(200));
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
    EXPECT_EQ(r.end, microseconds(300 + 90 + 10));
    EXPECT_FALSE(bus.sclHeld());
}

} // namespace
} // namespace sim
