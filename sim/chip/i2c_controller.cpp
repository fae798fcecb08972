#include "i2c_controller.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::uint32_t kLatchedBits =
    I2cController::kRxUnder | I2cController::kRxOver | I2cController::kTxOver |
    I2cController::kRdReq | I2cController::kTxAbrt | I2cController::kRxDone |
    I2cController::kActivity | I2cController::kStopDet | I2cController::kStartDet |
    I2cController::kGenCall | I2cController::kRestartDet;

using I2c = I2cController;

constexpr RegisterInfo kRegisters[] = {
    stored(I2c::kCon,
           I2c::kConMasterMode | I2c::kConSpeedFast | I2c::kConRestartEn | I2c::kConSlaveDisable,
           0x7FF),
    stored(I2c::kTar, 0x055, 0xFFF),
    stored(I2c::kSar, 0x055, 0x3FF),
    action(I2c::kDataCmd, 0, 0x7FF), // reading pops the receive FIFO
    stored(I2c::kSsSclHcnt, 0x28, 0xFFFF),
    stored(I2c::kSsSclLcnt, 0x2F, 0xFFFF),
    stored(I2c::kFsSclHcnt, 0x06, 0xFFFF),
    stored(I2c::kFsSclLcnt, 0x0D, 0xFFFF),
    status(I2c::kIntrStat, 0),
    stored(I2c::kIntrMask, 0x8FF, 0x1FFF),
    status(I2c::kRawIntrStat, 0),
    stored(I2c::kRxTl, 0, 0xFF),
    stored(I2c::kTxTl, 0, 0xFF),
    // Reading an IC_CLR_* register clears its interrupts.
    status(I2c::kClrIntr, 0),
    status(I2c::kClrRxUnder, 0),
    status(I2c::kClrRxOver, 0),
    status(I2c::kClrTxOver, 0),
    status(I2c::kClrRdReq, 0),
    status(I2c::kClrTxAbrt, 0),
    status(I2c::kClrRxDone, 0),
    status(I2c::kClrActivity, 0),
    status(I2c::kClrStopDet, 0),
    status(I2c::kClrStartDet, 0),
    status(I2c::kClrGenCall, 0),
    stored(I2c::kEnable, 0, 0x7),
    status(I2c::kStatus, I2c::kStatusTfnf | I2c::kStatusTfe),
    status(I2c::kTxflr, 0),
    status(I2c::kRxflr, 0),
    stored(I2c::kSdaHold, 0x01, 0xFFFFFF),
    status(I2c::kTxAbrtSource, 0),
    stored(I2c::kSlvDataNackOnly, 0, 0x1),
    stored(I2c::kDmaCr, 0, 0x3),
    stored(I2c::kDmaTdlr, 0, 0xF),
    stored(I2c::kDmaRdlr, 0, 0xF),
    stored(I2c::kSdaSetup, 0x64, 0xFF),
    stored(I2c::kAckGeneralCall, 1, 0x1),
    status(I2c::kEnableStatus, 0),
    stored(I2c::kFsSpklen, 0x07, 0xFF),
    status(I2c::kClrRestartDet, 0),
    status(I2c::kCompParam1, 0),
    status(I2c::kCompVersion, 0x3230312A),
    status(I2c::kCompType, 0x44570140),
};
constexpr RegisterMap kMap{kRegisters};

// The registers the block keeps as written, with no behaviour of their own
// in the model: timing, DMA and the like.
constexpr bool plainStored(std::uint32_t offset) {
    switch (offset) {
    case I2c::kTar:
    case I2c::kSsSclHcnt:
    case I2c::kSsSclLcnt:
    case I2c::kFsSclHcnt:
    case I2c::kFsSclLcnt:
    case I2c::kSdaHold:
    case I2c::kDmaCr:
    case I2c::kDmaTdlr:
    case I2c::kDmaRdlr:
    case I2c::kSdaSetup:
    case I2c::kFsSpklen:
        return true;
    default:
        return false;
    }
}

} // namespace

const RegisterMap& I2cController::registers() {
    return kMap;
}

// ic_clk is clk_sys, 125 MHz once the SDK's start-up has run.
constexpr Time kIcClk = nanoseconds(8);

I2cController::I2cController(Simulation& sim, IrqOutput irq, const PinFunctions& pins)
    : sim_(sim), irq_(std::move(irq)), pins_(pins) {
    releaseEvent_.set([this] { releaseScl(); });
    resetBlock();
}

Time I2cController::sdaHoldTime() const {
    return (peek(kSdaHold) & 0xffffu) * kIcClk;
}

// The set-up lasts IC_SDA_SETUP - 1 cycles; the datasheet asks for 2 at least.
Time I2cController::sdaSetupTime() const {
    const std::uint32_t n = peek(kSdaSetup) & 0xffu;
    return (n > 1 ? n - 1 : 1) * kIcClk;
}

Time I2cController::spikeFilter() const {
    return (peek(kFsSpklen) & 0xffu) * kIcClk;
}

I2cController::~I2cController() {
    disconnect();
}

void I2cController::connect(I2cLines& bus, unsigned sda, unsigned scl) {
    disconnect();
    bus_ = &bus;
    sdaPin_ = sda;
    sclPin_ = scl;
    bus_->attach(*this);
}

void I2cController::disconnect() {
    if (!bus_)
        return;
    sim_.events().cancel(releaseEvent_);
    bus_->detach(*this);
    bus_ = nullptr;
    sclHeld_ = false;
}

void I2cController::busRemoved() {
    sim_.events().cancel(releaseEvent_);
    bus_ = nullptr;
    sclHeld_ = false;
}

void I2cController::resetBlock() {
    dropHeldRx();
    releaseScl();
    con_ = kMap.reset(kCon);
    sar_ = kMap.reset(kSar);
    enable_ = kMap.reset(kEnable);
    intrMask_ = kMap.reset(kIntrMask);
    rxTl_ = kMap.reset(kRxTl);
    txTl_ = kMap.reset(kTxTl);
    latched_ = 0;
    txAbrtSource_ = 0;
    ackGeneralCall_ = kMap.reset(kAckGeneralCall);
    slvDataNackOnly_ = kMap.reset(kSlvDataNackOnly);
    plain_.clear();
    for (const RegisterInfo& r : kMap)
        if (plainStored(r.offset))
            plain_[r.offset] = r.reset;
    rx_.clear();
    tx_.clear();
    dropShifted();
    role_ = Role::Idle;
    addressedInTransfer_ = false;
    firstDataByte_ = false;
    holdForTx_ = false;
    heldRx_.reset();
    updateIrq();
}

void I2cController::reset() {
    resetBlock();
    slaveLayer_ = SlaveLayer{};
}

bool I2cController::hearsBus() const {
    auto i2c0 = [this](unsigned pin, unsigned parity) {
        return pin % 2 == parity && (pin & 2u) == 0 && pins_.function(pin) == gpiofn::kI2c;
    };
    return enabled() && bus_ && i2c0(sdaPin_, 0) && i2c0(sclPin_, 1);
}

bool I2cController::answersAsSlave() const {
    return hearsBus() && (con_ & (kConSlaveDisable | kConMasterMode)) == 0;
}

std::uint32_t I2cController::rawInterrupts() const {
    std::uint32_t raw = latched_;
    // Thresholds: IC_RX_TL = n means n + 1 bytes; values past the depth act
    // as the depth.
    std::size_t rxThreshold = std::min<std::uint32_t>(rxTl_, kFifoDepth - 1) + 1;
    std::size_t txThreshold = std::min<std::uint32_t>(txTl_, kFifoDepth - 1);
    if (rx_.size() >= rxThreshold)
        raw |= kRxFull;
    // A disabled block holds its FIFO in reset: empty, but TX_EMPTY only
    // while the slave state machine is still busy with a transfer.
    if (tx_.size() <= txThreshold && (enabled() || role_ != Role::Idle))
        raw |= kTxEmpty;
    return raw;
}

void I2cController::updateIrq() {
    irq_((rawInterrupts() & intrMask_) != 0);
}

std::uint32_t I2cController::statusRegister() const {
    std::uint32_t s = 0;
    if (role_ != Role::Idle)
        s |= kStatusActivity;
    if (tx_.size() < kFifoDepth)
        s |= kStatusTfnf;
    if (tx_.empty())
        s |= kStatusTfe;
    if (!rx_.empty())
        s |= kStatusRfne;
    if (rx_.size() == kFifoDepth)
        s |= kStatusRff;
    if (addressed())
        s |= kStatusSlvActivity;
    return s;
}

bool I2cController::writableWhileEnabled(std::uint32_t offset) const {
    // The datasheet allows these only while the block is disabled.
    switch (offset) {
    case kCon:
    case kTar:
    case kSar:
    case kSsSclHcnt:
    case kSsSclLcnt:
    case kFsSclHcnt:
    case kFsSclLcnt:
    case kSdaHold:
    case kSdaSetup:
    case kFsSpklen:
        return false;
    default:
        return true;
    }
}

std::uint32_t I2cController::clearBits(std::uint32_t offset) {
    switch (offset) {
    case kClrIntr:
        return kLatchedBits;
    case kClrRxUnder:
        return kRxUnder;
    case kClrRxOver:
        return kRxOver;
    case kClrTxOver:
        return kTxOver;
    case kClrRdReq:
        return kRdReq;
    case kClrTxAbrt:
        return kTxAbrt;
    case kClrRxDone:
        return kRxDone;
    case kClrActivity:
        return kActivity;
    case kClrStopDet:
        return kStopDet;
    case kClrStartDet:
        return kStartDet;
    case kClrGenCall:
        return kGenCall;
    case kClrRestartDet:
        return kRestartDet;
    default:
        return 0;
    }
}

std::uint32_t I2cController::peek(std::uint32_t offset) const {
    switch (offset) {
    case kCon:
        return con_;
    case kSar:
        return sar_;
    case kDataCmd:
        return rx_.empty() ? 0 : rx_.front();
    case kIntrStat:
        return rawInterrupts() & intrMask_;
    case kIntrMask:
        return intrMask_;
    case kRawIntrStat:
        return rawInterrupts();
    case kRxTl:
        return rxTl_;
    case kTxTl:
        return txTl_;
    case kEnable:
        return enable_;
    case kStatus:
        return statusRegister();
    case kTxflr:
        return static_cast<std::uint32_t>(tx_.size());
    case kRxflr:
        return static_cast<std::uint32_t>(rx_.size());
    case kTxAbrtSource:
        return txAbrtSource_;
    case kSlvDataNackOnly:
        return slvDataNackOnly_;
    case kAckGeneralCall:
        return ackGeneralCall_;
    case kEnableStatus:
        return enable_ & 1u;
    case kCompParam1:
        return kMap.reset(kCompParam1);
    case kCompVersion:
        return kMap.reset(kCompVersion);
    case kCompType:
        return kMap.reset(kCompType);
    default:
        break;
    }
    // The IC_CLR_* registers read 1 while their interrupt is set.
    if (std::uint32_t bits = clearBits(offset))
        return (latched_ & bits) ? 1 : 0;
    auto it = plain_.find(offset);
    return it == plain_.end() ? 0 : it->second;
}

std::uint32_t I2cController::read(std::uint32_t offset) {
    if (offset == kDataCmd) {
        std::uint32_t value = popRx();
        updateIrq();
        return value;
    }
    const std::uint32_t bits = clearBits(offset);
    if (!bits)
        return peek(offset);
    const std::uint32_t value = peek(offset);
    latched_ &= ~bits;
    // Clearing the abort also clears its reason, and lets the FIFOs take
    // bytes again.
    if (bits & kTxAbrt)
        txAbrtSource_ = 0;
    updateIrq();
    return value;
}

void I2cController::write(std::uint32_t offset, std::uint32_t value) {
    if (enabled() && !writableWhileEnabled(offset))
        return;
    switch (offset) {
    case kCon:
        con_ = kMap.masked(kCon, value);
        break;
    case kSar:
        sar_ = kMap.masked(kSar, value);
        break;
    case kDataCmd:
        pushTx(value);
        break;
    case kIntrMask:
        intrMask_ = kMap.masked(kIntrMask, value);
        break;
    case kRxTl:
        rxTl_ = kMap.masked(kRxTl, value);
        break;
    case kTxTl:
        txTl_ = kMap.masked(kTxTl, value);
        break;
    case kEnable:
        if ((value & 1u) == 0 && enabled()) {
            flushFifos();
            dropShifted();
            latched_ &= ~(kActivity | kRxOver);
            holdForTx_ = false;
            dropHeldRx();
            releaseScl();
            if (role_ != Role::Idle)
                role_ = Role::Unaddressed; // deaf for the rest of this transfer
        }
        enable_ = kMap.masked(kEnable, value);
        break;
    case kSlvDataNackOnly:
        slvDataNackOnly_ = kMap.masked(kSlvDataNackOnly, value);
        break;
    case kAckGeneralCall:
        ackGeneralCall_ = kMap.masked(kAckGeneralCall, value);
        break;
    default:
        if (plainStored(offset))
            plain_[offset] = kMap.masked(offset, value);
        break;
    }
    updateIrq();
}

std::uint32_t I2cController::popRx() {
    if (rx_.empty()) {
        latched_ |= kRxUnder;
        return 0;
    }
    std::uint32_t v = rx_.front();
    rx_.pop_front();
    // A byte waiting with SCL held takes the place just freed and is
    // acknowledged as SCL goes.
    if (heldRx_) {
        pushRx(*heldRx_);
        heldRx_.reset();
        heldAcked_ = true;
        releaseScl();
    }
    return v;
}

void I2cController::pushRx(std::uint8_t byte) {
    rx_.push_back(static_cast<std::uint16_t>(byte | (firstDataByte_ ? kFirstDataByte : 0u)));
    firstDataByte_ = false;
}

void I2cController::pushTx(std::uint32_t value) {
    // After a transmit abort the FIFO stays flushed until IC_CLR_TX_ABRT is
    // read.
    if (latched_ & kTxAbrt)
        return;
    if (tx_.size() >= kFifoDepth) {
        latched_ |= kTxOver;
        return;
    }
    const auto byte = static_cast<std::uint8_t>(value & 0xffu);
    // Asked for after an acknowledge: the byte goes straight on.
    if (wantsByte_) {
        wantsByte_ = false;
        shifted_ = byte;
    } else {
        tx_.push_back(byte);
    }
    if (holdForTx_) {
        holdForTx_ = false;
        const Time setup = sdaSetupTime();
        if (setup == 0)
            releaseScl();
        else
            sim_.schedule(releaseEvent_, sim_.now() + setup);
    }
}

void I2cController::flushFifos() {
    rx_.clear();
    tx_.clear();
}

void I2cController::transmitAbort(std::uint32_t source) {
    std::uint32_t flushed = static_cast<std::uint32_t>(tx_.size());
    flushFifos();
    txAbrtSource_ = source | (flushed << 23);
    latched_ |= kTxAbrt;
}

void I2cController::dropShifted() {
    shifted_.reset();
    wantsByte_ = false;
}

void I2cController::dropHeldRx() {
    heldRx_.reset();
    heldAcked_ = false;
}

void I2cController::holdScl() {
    if (bus_ && !sclHeld_) {
        sclHeld_ = true;
        bus_->holdScl(*this);
    }
}

void I2cController::releaseScl() {
    sim_.events().cancel(releaseEvent_);
    if (bus_ && sclHeld_) {
        sclHeld_ = false;
        bus_->releaseScl(*this);
    }
}

// --- the bus side --------------------------------------------------------------

void I2cController::startCondition(bool repeated) {
    if (!hearsBus())
        return;
    latched_ |= kStartDet | kActivity;
    dropShifted();
    if (repeated && addressed())
        latched_ |= kRestartDet;
    if (!repeated)
        addressedInTransfer_ = false;
    role_ = Role::Idle;
    updateIrq();
}

void I2cController::stopCondition() {
    if (!hearsBus())
        return;
    if (!(con_ & kConStopDetIfAddressed) || addressedInTransfer_)
        latched_ |= kStopDet;
    dropShifted();
    role_ = Role::Idle;
    addressedInTransfer_ = false;
    updateIrq();
}

bool I2cController::addressByte(std::uint8_t address, bool read) {
    if (!answersAsSlave()) {
        role_ = Role::Unaddressed;
        return false;
    }
    bool generalCall = address == 0 && !read && (ackGeneralCall_ & 1u);
    if (address != (sar_ & 0x7fu) && !generalCall) {
        role_ = Role::Unaddressed;
        return false;
    }
    addressedInTransfer_ = true;
    if (generalCall)
        latched_ |= kGenCall;
    if (read) {
        role_ = Role::Transmitting;
        if (!tx_.empty())
            transmitAbort(kAbrtSlvFlushTxFifo);
        readRequest();
    } else {
        role_ = Role::Receiving;
        firstDataByte_ = true;
    }
    updateIrq();
    return true;
}

I2cDevice::Answer I2cController::receiveByte(std::uint8_t byte) {
    if (role_ != Role::Receiving || !hearsBus())
        return Answer::Nack;
    if (slvDataNackOnly_ & 1u)
        return Answer::Nack;
    if (latched_ & kTxAbrt)
        return Answer::Ack; // into a FIFO held flushed
    if (rx_.size() >= kFifoDepth) {
        if (con_ & kConRxFifoFullHoldCtrl) {
            heldRx_ = byte;
            holdScl();
            return Answer::Stretch;
        }
        // Acknowledged on the bus, lost in the block.
        latched_ |= kRxOver;
        updateIrq();
        return Answer::Ack;
    }
    pushRx(byte);
    updateIrq();
    return Answer::Ack;
}

std::optional<std::uint8_t> I2cController::transmitByte() {
    if (role_ != Role::Transmitting || !hearsBus())
        return 0xFF; // SDA left to the pull-up
    if (shifted_) {
        const std::uint8_t b = *shifted_;
        shifted_.reset();
        return b;
    }
    if (!tx_.empty()) {
        std::uint8_t b = tx_.front();
        tx_.pop_front();
        updateIrq();
        return b;
    }
    holdForTx_ = true;
    holdScl();
    updateIrq();
    return std::nullopt;
}

void I2cController::readRequest() {
    if (tx_.empty())
        latched_ |= kRdReq;
}

void I2cController::masterAcknowledge(bool ack) {
    if (role_ != Role::Transmitting)
        return;
    if (ack) {
        // The next byte leaves the FIFO now, or is asked for.
        if (!tx_.empty()) {
            shifted_ = tx_.front();
            tx_.pop_front();
        } else {
            wantsByte_ = true;
            latched_ |= kRdReq;
        }
        updateIrq();
        return;
    }
    latched_ |= kRxDone;
    role_ = Role::TransmitDone;
    // The master has all it wants: what is left queued is flushed.
    if (!tx_.empty())
        transmitAbort(kAbrtSlvFlushTxFifo);
    updateIrq();
}

} // namespace sim
