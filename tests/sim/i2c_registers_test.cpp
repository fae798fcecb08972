// The I2C block's register map as the bus fabric reaches it: reset values,
// writable bits, registers locked while enabled, clear-on-read against peek,
// and the receive FIFO seen through IC_DATA_CMD.
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

struct Reg {
    std::uint32_t offset;
    std::uint32_t reset;
    std::uint32_t allOnes; // what writing 0xffffffff leaves (disabled block)
};

TEST_F(I2cRegistersTest, ResetValuesAndWritableBits) {
    const Reg table[] = {
        {C::kCon, 0x065, 0x7ff},
        {C::kTar, 0x055, 0xfff},
        {C::kSar, 0x055, 0x3ff},
        {C::kSsSclHcnt, 0x28, 0xffff},
        {C::kSsSclLcnt, 0x2f, 0xffff},
        {C::kFsSclHcnt, 0x06, 0xffff},
        {C::kFsSclLcnt, 0x0d, 0xffff},
        {C::kIntrMask, 0x8ff, 0x1fff},
        {C::kRxTl, 0, 0xff},
        {C::kTxTl, 0, 0xff},
        {C::kSdaHold, 0x01, 0xffffff},
        {C::kSlvDataNackOnly, 0, 1},
        {C::kDmaCr, 0, 0x3},
        {C::kDmaTdlr, 0, 0xf},
        {C::kDmaRdlr, 0, 0xf},
        {C::kSdaSetup, 0x64, 0xff},
        {C::kAckGeneralCall, 1, 1},
        {C::kFsSpklen, 0x07, 0xff},
        {C::kCompParam1, 0, 0},
        {C::kCompVersion, 0x3230312a, 0x3230312a},
        {C::kCompType, 0x44570140, 0x44570140},
        {C::kStatus, 0x06, 0x06},
        {C::kEnableStatus, 0, 0},
        {0xec, 0, 0}, // no register there
    };
    for (const Reg& r : table) {
        SCOPED_TRACE(r.offset);
        EXPECT_EQ(regs.peek(r.offset), r.reset);
        EXPECT_EQ(regs.read(r.offset), r.reset);
        regs.write(r.offset, 0xffffffff);
        EXPECT_EQ(regs.peek(r.offset), r.allOnes);
        block.resetBlock();
    }
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
