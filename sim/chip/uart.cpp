#include "chip/uart.h"

#include "chip/block_host.h"
#include "chip/console.h"

namespace sim {

namespace {

constexpr RegisterInfo kRegisters[] = {
    action(Uart::kDr, 0, 0xFF),
    status(Uart::kRsr, 0), // any write clears the errors
    status(Uart::kFr, Uart::kFrRxfe | Uart::kFrTxfe),
    stored(Uart::kIlpr, 0, 0xFF),
    stored(Uart::kIbrd, 0, 0xFFFF),
    stored(Uart::kFbrd, 0, 0x3F),
    stored(Uart::kLcrH, 0, 0xFF),
    stored(Uart::kCr, Uart::kCrTxe | Uart::kCrRxe, 0xFF87),
    stored(Uart::kIfls, 0x12, 0x3F),
    stored(Uart::kImsc, 0, 0x7FF),
    status(Uart::kRis, 0),
    status(Uart::kMis, 0),
    action(Uart::kIcr, 0, 0x7FF),
    stored(Uart::kDmaCr, 0, 0x7),
    // UARTPERIPHID0..3 and UARTPCELLID0..3.
    status(0xFE0, 0x11),
    status(0xFE4, 0x10),
    status(0xFE8, 0x34),
    status(0xFEC, 0x00),
    status(0xFF0, 0x0D),
    status(0xFF4, 0xF0),
    status(0xFF8, 0x05),
    status(0xFFC, 0xB1),
};
constexpr RegisterMap kMap{kRegisters};
// IFLS selects 1/8, 1/4, 1/2, 3/4 or 7/8 of the FIFO.
constexpr std::size_t kTriggers[8] = {4, 8, 16, 24, 28, 28, 28, 28};
constexpr Time kTimeoutBits = 32;

unsigned dataBits(std::uint32_t lcrH) {
    return 5 + ((lcrH >> Uart::kLcrWlenShift) & 3u);
}

unsigned bitsOf(std::uint32_t lcrH) {
    return 1 + dataBits(lcrH) + ((lcrH & Uart::kLcrPen) ? 1 : 0) +
           ((lcrH & Uart::kLcrStp2) ? 2 : 1);
}

bool isTxPin(unsigned pin) {
    // UART0 has GPIO0..3, 12..15, 16..19 and 28..29, TX first in each group.
    const unsigned group = pin / 4;
    return pin % 4 == 0 && (group == 0 || group == 3 || group == 4 || group == 7);
}

} // namespace

const RegisterMap& Uart::registers() {
    return kMap;
}

Uart::Uart(BlockHost& host, Gpio& gpio, Console& console)
    : host_(host), gpio_(gpio), console_(console) {
    bitEvent_.set([this] { nextBit(); });
    timeoutEvent_.set([this] {
        if (!rx_.empty()) {
            ris_ |= kIntRt;
            updateIrq();
        }
    });
}

Uart::~Uart() {
    host_.simulation().events().cancel(bitEvent_);
    host_.simulation().events().cancel(timeoutEvent_);
}

void Uart::reset() {
    host_.simulation().events().cancel(bitEvent_);
    host_.simulation().events().cancel(timeoutEvent_);
    ilpr_ = kMap.reset(kIlpr);
    ibrd_ = kMap.reset(kIbrd);
    fbrd_ = kMap.reset(kFbrd);
    lcrH_ = kMap.reset(kLcrH);
    cr_ = kMap.reset(kCr);
    ifls_ = kMap.reset(kIfls);
    imsc_ = kMap.reset(kImsc);
    dmacr_ = kMap.reset(kDmaCr);
    ris_ = rsr_ = 0;
    bitTime_ = 0;
    tx_.clear();
    rx_.clear();
    shifting_ = false;
    bit_ = 0;
    setLine(true);
    updateIrq();
}

unsigned Uart::characterBits() const {
    return bitsOf(lcrH_);
}

std::size_t Uart::txTrigger() const {
    return fifosEnabled() ? kTriggers[ifls_ & 7u] : 0;
}

std::size_t Uart::rxTrigger() const {
    return fifosEnabled() ? kTriggers[(ifls_ >> 3) & 7u] : 1;
}

bool Uart::canStart() const {
    return (cr_ & kCrUarten) && (cr_ & kCrTxe) && !shifting_ && !tx_.empty() && bitTime_ > 0;
}

void Uart::startCharacter() {
    shifter_ = tx_.front();
    tx_.pop_front();
    shifting_ = true;
    format_ = lcrH_;
    characterBitTime_ = bitTime_;
    characterEnd_ = host_.now() + bitsOf(format_) * characterBitTime_;
    bit_ = 0;
    setLine(false); // the start bit
    host_.simulation().schedule(bitEvent_, host_.now() + characterBitTime_);
    // The transmit interrupt rises as the FIFO drains to its trigger level.
    if (tx_.size() <= txTrigger())
        ris_ |= kIntTx;
    updateIrq();
}

bool Uart::bitLevel(unsigned bit) const {
    const unsigned data = dataBits(format_);
    if (bit == 0)
        return false;
    if (bit <= data)
        return (shifter_ >> (bit - 1)) & 1u;
    if ((format_ & kLcrPen) && bit == data + 1) {
        const bool even = (format_ & kLcrEps) != 0;
        if (format_ & kLcrSps)
            return !even; // stick parity
        unsigned ones = 0;
        for (unsigned i = 0; i < data; ++i)
            ones += (shifter_ >> i) & 1u;
        return ((ones & 1u) != 0) == even;
    }
    return true; // stop bits
}

void Uart::nextBit() {
    ++bit_;
    if (bit_ < bitsOf(format_)) {
        setLine(bitLevel(bit_));
        host_.simulation().schedule(bitEvent_, host_.now() + characterBitTime_);
        return;
    }
    endCharacter();
}

void Uart::catchUp() {
    if (shifting_ && characterEnd_ <= host_.now()) {
        host_.simulation().events().cancel(bitEvent_);
        endCharacter();
    }
}

void Uart::endCharacter() {
    // The last stop bit has ended.
    shifting_ = false;
    const char c = static_cast<char>(shifter_);
    console_.write(&c, 1);
    if (cr_ & kCrLbe)
        receive(shifter_);
    if (canStart())
        startCharacter();
    updateIrq();
}

void Uart::setLine(bool level) {
    if (line_ == level)
        return;
    line_ = level;
    gpio_.peripheralOutputsChanged();
}

Drive Uart::drive(unsigned pin) const {
    if (!isTxPin(pin))
        return Drive::None;
    return (line_ && !(lcrH_ & kLcrBrk)) ? Drive::High : Drive::Low;
}

void Uart::receive(std::uint8_t byte) {
    if (!(cr_ & kCrUarten) || !(cr_ & kCrRxe))
        return;
    if (rx_.size() >= depth()) {
        rsr_ |= kRsrOe;
        ris_ |= kIntOe;
    } else {
        rx_.push_back(byte);
        if (rx_.size() >= rxTrigger())
            ris_ |= kIntRx;
    }
    if (bitTime_ > 0)
        host_.simulation().schedule(timeoutEvent_, host_.now() + kTimeoutBits * bitTime_);
    updateIrq();
}

void Uart::pushTx(std::uint8_t byte) {
    if (tx_.size() < depth())
        tx_.push_back(byte);
    if (tx_.size() > txTrigger())
        ris_ &= ~kIntTx;
    if (canStart())
        startCharacter();
    updateIrq();
}

std::uint32_t Uart::popRx() {
    if (rx_.empty())
        return 0;
    const std::uint32_t byte = rx_.front();
    rx_.pop_front();
    if (rx_.size() < rxTrigger())
        ris_ &= ~kIntRx;
    if (rx_.empty()) {
        ris_ &= ~kIntRt;
        host_.simulation().events().cancel(timeoutEvent_);
    }
    updateIrq();
    return byte;
}

void Uart::updateIrq() {
    host_.setIrqLine(kUart0Irq, (ris_ & imsc_) != 0);
}

std::uint32_t Uart::read(std::uint32_t offset) {
    return offset == kDr ? popRx() : peek(offset);
}

std::uint32_t Uart::peek(std::uint32_t offset) const {
    if (offset >= kPeriphId0) {
        const RegisterInfo* id = kMap.find(offset);
        return id ? id->reset : 0;
    }
    switch (offset) {
    case kDr:
        return rx_.empty() ? 0 : rx_.front();
    case kRsr:
        return rsr_;
    case kFr: {
        std::uint32_t fr = 0;
        if (shifting_ || !tx_.empty())
            fr |= kFrBusy;
        if (rx_.empty())
            fr |= kFrRxfe;
        if (tx_.size() >= depth())
            fr |= kFrTxff;
        if (rx_.size() >= depth())
            fr |= kFrRxff;
        if (tx_.empty())
            fr |= kFrTxfe;
        return fr;
    }
    case kIlpr:
        return ilpr_;
    case kIbrd:
        return ibrd_;
    case kFbrd:
        return fbrd_;
    case kLcrH:
        return lcrH_;
    case kCr:
        return cr_;
    case kIfls:
        return ifls_;
    case kImsc:
        return imsc_;
    case kRis:
        return ris_;
    case kMis:
        return ris_ & imsc_;
    case kDmaCr:
        return dmacr_;
    default:
        return 0;
    }
}

void Uart::write(std::uint32_t offset, std::uint32_t value) {
    switch (offset) {
    case kDr:
        pushTx(static_cast<std::uint8_t>(value));
        return;
    case kRsr:
        rsr_ = 0; // any write clears the errors
        break;
    case kIlpr:
        ilpr_ = kMap.masked(kIlpr, value);
        break;
    case kIbrd:
        ibrd_ = kMap.masked(kIbrd, value);
        break;
    case kFbrd:
        fbrd_ = kMap.masked(kFbrd, value);
        break;
    case kLcrH: {
        const bool brk = (lcrH_ & kLcrBrk) != 0;
        lcrH_ = kMap.masked(kLcrH, value);
        // The divisor is taken with this write; 0 integer part is no rate.
        bitTime_ = ibrd_ ? 2 * (64 * Time{ibrd_} + fbrd_) : 0;
        if (brk != ((lcrH_ & kLcrBrk) != 0))
            gpio_.peripheralOutputsChanged();
        break;
    }
    case kCr:
        cr_ = kMap.masked(kCr, value);
        break;
    case kIfls:
        ifls_ = kMap.masked(kIfls, value);
        break;
    case kImsc:
        imsc_ = kMap.masked(kImsc, value);
        break;
    case kIcr:
        ris_ &= ~kMap.masked(kIcr, value);
        break;
    case kDmaCr:
        dmacr_ = kMap.masked(kDmaCr, value);
        break;
    default:
        return;
    }
    if (canStart())
        startCharacter();
    updateIrq();
}

} // namespace sim
