#include "chip/uart.h"

#include "chip/chip.h"

namespace sim {

namespace {

// UARTPERIPHID0..3 and UARTPCELLID0..3.
constexpr std::uint32_t kIds[8] = {0x11, 0x10, 0x34, 0x00, 0x0d, 0xf0, 0x05, 0xb1};
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

Uart::Uart(Chip& chip) : chip_(chip) {
    bitEvent_.set([this] { nextBit(); });
    timeoutEvent_.set([this] {
        if (!rx_.empty()) {
            ris_ |= kIntRt;
            updateIrq();
        }
    });
}

Uart::~Uart() {
    chip_.simulation().events().cancel(bitEvent_);
    chip_.simulation().events().cancel(timeoutEvent_);
}

void Uart::reset() {
    chip_.simulation().events().cancel(bitEvent_);
    chip_.simulation().events().cancel(timeoutEvent_);
    ilpr_ = ibrd_ = fbrd_ = lcrH_ = 0;
    cr_ = kCrTxe | kCrRxe;
    ifls_ = 0x12;
    imsc_ = ris_ = rsr_ = dmacr_ = 0;
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
    characterEnd_ = chip_.now() + bitsOf(format_) * characterBitTime_;
    bit_ = 0;
    setLine(false); // the start bit
    chip_.simulation().schedule(bitEvent_, chip_.now() + characterBitTime_);
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
        chip_.simulation().schedule(bitEvent_, chip_.now() + characterBitTime_);
        return;
    }
    endCharacter();
}

void Uart::catchUp() {
    if (shifting_ && characterEnd_ <= chip_.now()) {
        chip_.simulation().events().cancel(bitEvent_);
        endCharacter();
    }
}

void Uart::endCharacter() {
    // The last stop bit has ended.
    shifting_ = false;
    const char c = static_cast<char>(shifter_);
    chip_.console.write(&c, 1);
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
    chip_.gpio.peripheralOutputsChanged();
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
        chip_.simulation().schedule(timeoutEvent_, chip_.now() + kTimeoutBits * bitTime_);
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
        chip_.simulation().events().cancel(timeoutEvent_);
    }
    updateIrq();
    return byte;
}

void Uart::updateIrq() {
    chip_.setIrqLine(kUart0Irq, (ris_ & imsc_) != 0);
}

std::uint32_t Uart::read(std::uint32_t offset) {
    return offset == kDr ? popRx() : peek(offset);
}

std::uint32_t Uart::peek(std::uint32_t offset) const {
    if (offset >= kPeriphId0 && offset < 0x1000)
        return offset % 4 ? 0 : kIds[(offset - kPeriphId0) / 4];
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
        ilpr_ = value & 0xFFu;
        break;
    case kIbrd:
        ibrd_ = value & 0xFFFFu;
        break;
    case kFbrd:
        fbrd_ = value & 0x3Fu;
        break;
    case kLcrH: {
        const bool brk = (lcrH_ & kLcrBrk) != 0;
        lcrH_ = value & 0xFFu;
        // The divisor is taken with this write; 0 integer part is no rate.
        bitTime_ = ibrd_ ? 2 * (64 * Time{ibrd_} + fbrd_) : 0;
        if (brk != ((lcrH_ & kLcrBrk) != 0))
            chip_.gpio.peripheralOutputsChanged();
        break;
    }
    case kCr:
        cr_ = value & 0xFF87u;
        break;
    case kIfls:
        ifls_ = value & 0x3Fu;
        break;
    case kImsc:
        imsc_ = value & 0x7FFu;
        break;
    case kIcr:
        ris_ &= ~(value & 0x7FFu);
        break;
    case kDmaCr:
        dmacr_ = value & 0x7u;
        break;
    default:
        return;
    }
    if (canStart())
        startCharacter();
    updateIrq();
}

} // namespace sim
