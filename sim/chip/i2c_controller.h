// The RP2040's I2C block (a DW_apb_i2c) as the board uses it: a slave on the
// backplane bus. Registers keep their offsets and bits from the datasheet so
// that the SDK layer reads like the real one.
//
// What it does, in the datasheet's terms:
// - 16-byte receive and transmit FIFOs.
// - In slave mode it acknowledges its own 7-bit address (IC_SAR) and the
//   general call when IC_ACK_GENERAL_CALL allows; other addresses get no
//   acknowledge and the rest of that transfer passes it by.
// - START_DET and STOP_DET are raised for every START, repeated START and
//   STOP on the bus, addressed or not (unless IC_CON.STOP_DET_IFADDRESSED).
// - RX_FULL follows the receive FIFO level (threshold IC_RX_TL + 1 bytes).
// - Slave transmitter: as the block acknowledges a read address, and as it
//   samples the master's acknowledge of a byte it sent, it raises RD_REQ
//   when the transmit FIFO is empty; otherwise it takes the next byte from
//   the FIFO then (IC_TXFLR counts it gone), so bytes queued ahead go out
//   without a request each (bulk transfer). When the master refuses a byte
//   the bytes still queued are flushed with a transmit abort
//   (ABRT_SLVFLUSH_TXFIFO, TX_FLUSH_CNT their number). The firmware's
//   answer overlaps the rest of that acknowledge bit and the master's next
//   low phase: only when SCL
//   falls with the FIFO still empty does the block hold SCL low, until a
//   byte is written to IC_DATA_CMD; it then puts the first bit on SDA and
//   lets SCL go IC_SDA_SETUP - 1 ic_clk cycles later (IC_SDA_SETUP is
//   written only while the block is disabled). A read that begins with
//   stale bytes in the transmit FIFO flushes them with a transmit abort
//   (TX_ABRT, ABRT_SLVFLUSH_TXFIFO).
// - Line timing, in ic_clk cycles (clk_sys, 125 MHz): the block changes SDA
//   IC_SDA_HOLD.TX_HOLD after SCL falls when it drives it (its bits and its
//   acknowledges), and its input filter drops pulses of IC_FS_SPKLEN cycles
//   or fewer (the SDK's 100 kHz set-up: 38 and 46 cycles, 304 ns and
//   368 ns). It samples SDA as SCL rises. Both FIFOs stay flushed until the abort
//   is cleared (IC_CLR_TX_ABRT or IC_CLR_INTR): writes to IC_DATA_CMD are
//   dropped, and so are received bytes, acknowledged all the same.
// - A full receive FIFO either holds SCL until there is room
//   (IC_CON.RX_FIFO_FULL_HLD_CTRL, which the SDK sets in slave mode) or
//   acknowledges the byte, loses it and raises RX_OVER. A held byte is
//   acknowledged when a read makes room; disabling (or resetting) the block
//   lets SCL go without acknowledging it, and the master's transfer ends.
// - The master's NACK of a byte the slave sent raises RX_DONE.
// - Interrupt bits RD_REQ, TX_ABRT, RX_DONE, ACTIVITY, STOP_DET, START_DET,
//   GEN_CALL, RESTART_DET, RX_UNDER, RX_OVER and TX_OVER are latched and
//   cleared by reading their IC_CLR_* register (or IC_CLR_INTR); RX_FULL and
//   TX_EMPTY follow the FIFO levels. The interrupt line is high while any
//   unmasked bit is set.
// - Disabling the block (IC_ENABLE = 0) flushes both FIFOs.
// The block hears the bus only through pins that IO bank 0 gives to it: a
// pin in the I2C function is I2C0's when bit 1 of its number is clear, SDA on
// even pins and SCL on odd ones (GPIO0/1, 4/5, ... 28/29). Which pins the
// board wires to the bus is given by whoever connects the block.
// The SCL counts and DMA registers are stored with their reset values and
// masks but change nothing: the master sets the bus's pace.
#pragma once

#include "chip/register_block.h"
#include "chip/register_map.h"
#include "engine/event_queue.h"
#include "engine/simulation.h"
#include "chip/devices.h"
#include "chip/pin_functions.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>

namespace sim {

class I2cController : public I2cDevice, public RegisterBlock {
public:
    // Register offsets.
    static constexpr std::uint32_t kCon = 0x00;
    static constexpr std::uint32_t kTar = 0x04;
    static constexpr std::uint32_t kSar = 0x08;
    static constexpr std::uint32_t kDataCmd = 0x10;
    static constexpr std::uint32_t kSsSclHcnt = 0x14;
    static constexpr std::uint32_t kSsSclLcnt = 0x18;
    static constexpr std::uint32_t kFsSclHcnt = 0x1c;
    static constexpr std::uint32_t kFsSclLcnt = 0x20;
    static constexpr std::uint32_t kIntrStat = 0x2c;
    static constexpr std::uint32_t kIntrMask = 0x30;
    static constexpr std::uint32_t kRawIntrStat = 0x34;
    static constexpr std::uint32_t kRxTl = 0x38;
    static constexpr std::uint32_t kTxTl = 0x3c;
    static constexpr std::uint32_t kClrIntr = 0x40;
    static constexpr std::uint32_t kClrRxUnder = 0x44;
    static constexpr std::uint32_t kClrRxOver = 0x48;
    static constexpr std::uint32_t kClrTxOver = 0x4c;
    static constexpr std::uint32_t kClrRdReq = 0x50;
    static constexpr std::uint32_t kClrTxAbrt = 0x54;
    static constexpr std::uint32_t kClrRxDone = 0x58;
    static constexpr std::uint32_t kClrActivity = 0x5c;
    static constexpr std::uint32_t kClrStopDet = 0x60;
    static constexpr std::uint32_t kClrStartDet = 0x64;
    static constexpr std::uint32_t kClrGenCall = 0x68;
    static constexpr std::uint32_t kEnable = 0x6c;
    static constexpr std::uint32_t kStatus = 0x70;
    static constexpr std::uint32_t kTxflr = 0x74;
    static constexpr std::uint32_t kRxflr = 0x78;
    static constexpr std::uint32_t kSdaHold = 0x7c;
    static constexpr std::uint32_t kTxAbrtSource = 0x80;
    static constexpr std::uint32_t kSlvDataNackOnly = 0x84;
    static constexpr std::uint32_t kDmaCr = 0x88;
    static constexpr std::uint32_t kDmaTdlr = 0x8c;
    static constexpr std::uint32_t kDmaRdlr = 0x90;
    static constexpr std::uint32_t kSdaSetup = 0x94;
    static constexpr std::uint32_t kAckGeneralCall = 0x98;
    static constexpr std::uint32_t kEnableStatus = 0x9c;
    static constexpr std::uint32_t kFsSpklen = 0xa0;
    static constexpr std::uint32_t kClrRestartDet = 0xa8;
    static constexpr std::uint32_t kCompParam1 = 0xf4;
    static constexpr std::uint32_t kCompVersion = 0xf8;
    static constexpr std::uint32_t kCompType = 0xfc;

    // Interrupt bits (IC_RAW_INTR_STAT, IC_INTR_STAT, IC_INTR_MASK).
    static constexpr std::uint32_t kRxUnder = 1u << 0;
    static constexpr std::uint32_t kRxOver = 1u << 1;
    static constexpr std::uint32_t kRxFull = 1u << 2;
    static constexpr std::uint32_t kTxOver = 1u << 3;
    static constexpr std::uint32_t kTxEmpty = 1u << 4;
    static constexpr std::uint32_t kRdReq = 1u << 5;
    static constexpr std::uint32_t kTxAbrt = 1u << 6;
    static constexpr std::uint32_t kRxDone = 1u << 7;
    static constexpr std::uint32_t kActivity = 1u << 8;
    static constexpr std::uint32_t kStopDet = 1u << 9;
    static constexpr std::uint32_t kStartDet = 1u << 10;
    static constexpr std::uint32_t kGenCall = 1u << 11;
    static constexpr std::uint32_t kRestartDet = 1u << 12;

    // IC_CON bits.
    static constexpr std::uint32_t kConMasterMode = 1u << 0;
    static constexpr std::uint32_t kConSpeedFast = 2u << 1;
    static constexpr std::uint32_t kConRestartEn = 1u << 5;
    static constexpr std::uint32_t kConSlaveDisable = 1u << 6;
    static constexpr std::uint32_t kConStopDetIfAddressed = 1u << 7;
    static constexpr std::uint32_t kConTxEmptyCtrl = 1u << 8;
    static constexpr std::uint32_t kConRxFifoFullHoldCtrl = 1u << 9;

    // IC_STATUS bits.
    static constexpr std::uint32_t kStatusActivity = 1u << 0;
    static constexpr std::uint32_t kStatusTfnf = 1u << 1;
    static constexpr std::uint32_t kStatusTfe = 1u << 2;
    static constexpr std::uint32_t kStatusRfne = 1u << 3;
    static constexpr std::uint32_t kStatusRff = 1u << 4;
    static constexpr std::uint32_t kStatusSlvActivity = 1u << 6;

    // IC_DATA_CMD, read side: the first byte after the address phase.
    static constexpr std::uint32_t kFirstDataByte = 1u << 11;
    // IC_TX_ABRT_SOURCE: a read request found stale bytes in the TX FIFO.
    static constexpr std::uint32_t kAbrtSlvFlushTxFifo = 1u << 13;

    static constexpr unsigned kFifoDepth = 16;
    // I2C0_IRQ on the processor.
    static constexpr unsigned kI2c0Irq = 23;

    // What the SDK's slave layer keeps per I2C instance in the firmware's RAM:
    // the event handler and whether a transfer is under way. It lives here
    // because one platform library serves every chip; a chip reset clears it
    // like the RAM it stands for.
    struct SlaveLayer {
        void (*handler)() = nullptr; // the firmware's handler, type-erased
        bool transferInProgress = false;
    };

    // The block's interrupt output: its level as IC_INTR_STAT changes.
    using IrqOutput = std::function<void(bool level)>;

    // Every register with its reset value and writable bits.
    static const RegisterMap& registers();

    I2cController(Simulation& sim, IrqOutput irq, const PinFunctions& pins);
    ~I2cController() override;
    I2cController(const I2cController&) = delete;
    I2cController& operator=(const I2cController&) = delete;

    // Joins the bus, whose SDA and SCL the board wires to pins `sda` and
    // `scl`; a pin handed to another function is lost to the block.
    void connect(I2cLines& bus, unsigned sda, unsigned scl);
    void disconnect();

    // Register access from the processor, with the datasheet's side effects
    // (clear-on-read, FIFO pops and pushes). Unknown offsets read 0 and
    // ignore writes.
    std::uint32_t read(std::uint32_t offset) override;
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

    // The reset controller's reset of the block: registers back to their
    // reset values, FIFOs empty, SCL let go.
    void resetBlock();
    // The chip's reset: the block, and the slave layer's RAM.
    void reset();

    SlaveLayer& slaveLayer() { return slaveLayer_; }

    // For tests and the bench: state without side effects.
    std::uint32_t rawInterrupts() const;
    std::size_t rxLevel() const { return rx_.size(); }
    std::size_t txLevel() const { return tx_.size(); }
    bool holdingScl() const { return holdForTx_ || heldRx_.has_value(); }

    // I2cDevice
    void startCondition(bool repeated) override;
    void stopCondition() override;
    bool addressByte(std::uint8_t address, bool read) override;
    Answer receiveByte(std::uint8_t byte) override;
    std::optional<std::uint8_t> transmitByte() override;
    bool stretchedAnswer() override { return heldAcked_; }
    Time sdaHoldTime() const override;
    Time sdaSetupTime() const override;
    Time spikeFilter() const override;
    void masterAcknowledge(bool ack) override;
    void busRemoved() override;

private:
    enum class Role { Idle, Unaddressed, Receiving, Transmitting, TransmitDone };

    bool enabled() const { return (enable_ & 1u) != 0; }
    bool hearsBus() const;
    bool answersAsSlave() const;
    bool addressed() const {
        return role_ == Role::Receiving || role_ == Role::Transmitting ||
               role_ == Role::TransmitDone;
    }
    bool writableWhileEnabled(std::uint32_t offset) const;
    std::uint32_t statusRegister() const;
    static std::uint32_t clearBits(std::uint32_t offset);
    std::uint32_t popRx();
    void pushRx(std::uint8_t byte);
    void pushTx(std::uint32_t value);
    void flushFifos();
    void transmitAbort(std::uint32_t source);
    void holdScl();
    void releaseScl();
    void readRequest();
    // Forgets the byte taken for the next transmission (a new phase began).
    void dropShifted();
    // Lets go of a held received byte without acknowledging it.
    void dropHeldRx();
    void updateIrq();

    Simulation& sim_;
    IrqOutput irq_;
    const PinFunctions& pins_;
    I2cLines* bus_ = nullptr;
    unsigned sdaPin_ = 0;
    unsigned sclPin_ = 0;

    std::uint32_t con_ = 0;
    std::uint32_t sar_ = 0;
    std::uint32_t enable_ = 0;
    std::uint32_t intrMask_ = 0;
    std::uint32_t rxTl_ = 0;
    std::uint32_t txTl_ = 0;
    std::uint32_t latched_ = 0;
    std::uint32_t txAbrtSource_ = 0;
    std::uint32_t ackGeneralCall_ = 0;
    std::uint32_t slvDataNackOnly_ = 0;
    std::map<std::uint32_t, std::uint32_t> plain_; // timing, DMA and the like: stored only

    std::deque<std::uint16_t> rx_; // data byte plus the FIRST_DATA_BYTE flag
    std::deque<std::uint8_t> tx_;

    Role role_ = Role::Idle;
    bool addressedInTransfer_ = false;
    bool firstDataByte_ = false;
    bool holdForTx_ = false;
    // Slave transmitter: the byte taken from the FIFO as the master
    // acknowledged the last one, or, when the FIFO was empty then, that the
    // next byte written goes straight to the line.
    std::optional<std::uint8_t> shifted_;
    bool wantsByte_ = false;
    std::optional<std::uint8_t> heldRx_; // received while the RX FIFO was full
    bool heldAcked_ = false;             // how the held byte was let go
    bool sclHeld_ = false;
    CallbackEvent releaseEvent_; // SCL let go once SDA is set up

    SlaveLayer slaveLayer_;
};

} // namespace sim
