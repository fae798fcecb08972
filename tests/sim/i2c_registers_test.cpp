// The I2C block's registers as the bus fabric reaches it (reset values and
// writable bits: every_block_registers_test): registers locked while enabled, clear-on-read against
// peek, and the receive FIFO seen through IC_DATA_CMD.
#include "bank_pins.h"
#include "chip/i2c_controller.h"
#include "kernel/processor.h"
#include "engine/simulation.h"
#include "world/i2c_bus.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

using C = I2cController;

class I2cRegistersTest : public ::testing::Test {
protected:
    I2cRegistersTest() { block.connect(bus, 20, 21); }

    // Slave at 0x27, enabled, interrupts as the SDK's slave layer sets them.
    void slaveMode() {
        regs.write(C::kEnable, 0);
        regs.write(C::kCon, C::kConSpeedFast | C::kConRestartEn | C::kConRxFifoFullHoldCtrl);
        regs.write(C::kSar, 0x27);
        regs.write(C::kIntrMask, C::kRxFull | C::kStopDet | C::kStartDet);
        regs.write(C::kEnable, 1);
    }

    // A master writes `bytes` to the slave, straight through its bus side.
    void masterWrites(std::initializer_list<std::uint8_t> bytes) {
        block.startCondition(false);
        ASSERT_TRUE(block.addressByte(0x27, false));
        for (std::uint8_t b : bytes)
            block.receiveByte(b);
    }

    Simulation sim;
    Processor cpu{sim, "chip"};
    I2cBus bus{sim};
    BankPins pins;
    I2cController block{sim, [this](bool level) { cpu.setIrqLine(C::kI2c0Irq, level); }, pins};
    RegisterBlock& regs = block;
};

TEST_F(I2cRegistersTest, TxEmptyShowsOnlyWhileTheBlockIsEnabled) {
    // Disabled and idle, the FIFO is held in reset and TX_EMPTY reads 0.
    EXPECT_EQ(regs.read(C::kRawIntrStat) & C::kTxEmpty, 0u);
    regs.write(C::kEnable, 1);
    EXPECT_EQ(regs.read(C::kRawIntrStat) & C::kTxEmpty, C::kTxEmpty);
    regs.write(C::kEnable, 0);
    EXPECT_EQ(regs.read(C::kRawIntrStat) & C::kTxEmpty, 0u);
}

TEST_F(I2cRegistersTest, SetUpRegistersAreLockedWhileEnabled) {
    regs.write(C::kEnable, 1);
    EXPECT_EQ(regs.read(C::kEnableStatus), 1u);
    for (std::uint32_t offset : {C::kCon, C::kTar, C::kSar, C::kSsSclHcnt, C::kFsSclLcnt,
                                 C::kSdaHold, C::kSdaSetup, C::kFsSpklen}) {
        SCOPED_TRACE(offset);
        const std::uint32_t before = regs.peek(offset);
        regs.write(offset, before ^ 0x3);
        EXPECT_EQ(regs.peek(offset), before);
    }
    // The rest stays writable.
    regs.write(C::kTxTl, 0x3);
    EXPECT_EQ(regs.peek(C::kTxTl), 0x3u);
}

TEST_F(I2cRegistersTest, ClearRegistersClearOnReadOnlyAndPeekLeavesThem) {
    slaveMode();
    masterWrites({});
    block.stopCondition();
    const std::uint32_t both = C::kStartDet | C::kStopDet;
    ASSERT_EQ(regs.peek(C::kRawIntrStat) & both, both);
    EXPECT_TRUE(cpu.irqLine(C::kI2c0Irq));

    EXPECT_EQ(regs.peek(C::kClrStartDet), 1u);
    EXPECT_EQ(regs.peek(C::kClrStartDet), 1u); // still set
    EXPECT_EQ(regs.read(C::kClrStartDet), 1u);
    EXPECT_EQ(regs.read(C::kClrStartDet), 0u);
    EXPECT_EQ(regs.peek(C::kRawIntrStat) & both, C::kStopDet);
    EXPECT_TRUE(cpu.irqLine(C::kI2c0Irq));

    // IC_CLR_INTR takes every latched bit at once.
    masterWrites({});
    EXPECT_EQ(regs.read(C::kClrIntr), 1u);
    EXPECT_EQ(regs.peek(C::kRawIntrStat) & both, 0u);
    EXPECT_FALSE(cpu.irqLine(C::kI2c0Irq));
    EXPECT_EQ(regs.read(C::kClrIntr), 0u);
}

TEST_F(I2cRegistersTest, DataCmdPopsOnReadAndPeekShowsTheHead) {
    slaveMode();
    masterWrites({0x11, 0x22});
    EXPECT_EQ(regs.peek(C::kRxflr), 2u);
    EXPECT_EQ(regs.peek(C::kStatus) & C::kStatusRfne, C::kStatusRfne);
    EXPECT_EQ(regs.peek(C::kDataCmd), 0x11u | C::kFirstDataByte);
    EXPECT_EQ(regs.peek(C::kRxflr), 2u);
    EXPECT_EQ(regs.read(C::kDataCmd), 0x11u | C::kFirstDataByte);
    EXPECT_EQ(regs.read(C::kDataCmd), 0x22u);
    EXPECT_EQ(regs.peek(C::kRxflr), 0u);
    // Reading an empty FIFO raises RX_UNDER.
    EXPECT_EQ(regs.read(C::kDataCmd), 0u);
    EXPECT_EQ(regs.peek(C::kRawIntrStat) & C::kRxUnder, C::kRxUnder);
    EXPECT_EQ(regs.read(C::kClrRxUnder), 1u);
}

} // namespace
} // namespace sim
