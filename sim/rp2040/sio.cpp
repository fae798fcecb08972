#include "rp2040/sio.h"

#include "chip/gpio.h"

namespace sim::rp2040 {

namespace {
constexpr std::uint32_t kHiPins = 0x3f; // the six QSPI pins
constexpr std::uint32_t kUserPins = (1u << kGpioCount) - 1;

// The plain, set, clear and xor registers of an output word, in that order.
std::uint32_t applied(std::uint32_t current, std::uint32_t which, std::uint32_t v) {
    switch (which) {
    case 0:
        return v;
    case 1:
        return current | v;
    case 2:
        return current & ~v;
    default:
        return current ^ v;
    }
}
} // namespace

void Sio::reset() {
    mailboxes_.reset();
    locks_ = 0;
    for (Divider& d : dividers_)
        d.reset();
    hiOut_ = hiOe_ = 0;
}

bool Sio::read(int core, std::uint32_t offset, std::uint32_t& value) {
    Divider& div = dividers_[core];
    if (offset >= kSpinLock0 && offset < kSize) {
        // Reading claims: the lock's bit if it was free, 0 if it was taken.
        const std::uint32_t bit = 1u << ((offset - kSpinLock0) / 4);
        value = (locks_ & bit) ? 0 : bit;
        locks_ |= bit;
        return true;
    }
    switch (offset) {
    case kCpuId:
        value = std::uint32_t(core);
        return true;
    case kGpioIn:
        value = gpio_.in();
        return true;
    case kGpioHiIn:
        value = hiOut_ & hiOe_ & kHiPins;
        return true;
    case kGpioOut:
        value = gpio_.out();
        return true;
    case kGpioOe:
        value = gpio_.outputEnable();
        return true;
    case kGpioHiOut:
        value = hiOut_;
        return true;
    case kGpioHiOe:
        value = hiOe_;
        return true;
    case kFifoSt:
        value = mailboxes_.status(core);
        return true;
    case kFifoRd:
        value = mailboxes_.pop(core);
        return true;
    case kSpinLockSt:
        value = locks_;
        return true;
    case kDivUDividend:
    case kDivSDividend:
        value = div.dividend();
        return true;
    case kDivUDivisor:
    case kDivSDivisor:
        value = div.divisor();
        return true;
    case kDivQuotient:
        value = div.readQuotient();
        return true;
    case kDivRemainder:
        value = div.remainder();
        return true;
    case kDivCsr:
        value = div.csr();
        return true;
    default:
        // The set/clear/xor registers read as 0; the interpolators are absent.
        if (offset < kInterpFirst && (offset & 3) == 0 && offset >= kGpioOut) {
            value = 0;
            return true;
        }
        return false;
    }
}

bool Sio::write(int core, std::uint32_t offset, std::uint32_t value) {
    Divider& div = dividers_[core];
    if (offset >= kSpinLock0 && offset < kSize) {
        locks_ &= ~(1u << ((offset - kSpinLock0) / 4)); // any write releases
        return true;
    }
    if (offset >= kGpioOut && offset < kGpioOe + 0x10) {
        const std::uint32_t which = (offset & 0xf) / 4;
        if (offset < kGpioOe)
            gpio_.writeOut(applied(gpio_.out(), which, value) & kUserPins);
        else
            gpio_.writeOutputEnable(applied(gpio_.outputEnable(), which, value) & kUserPins);
        return true;
    }
    if (offset >= kGpioHiOut && offset < kGpioHiOe + 0x10) {
        const std::uint32_t which = (offset & 0xf) / 4;
        std::uint32_t& reg = offset < kGpioHiOe ? hiOut_ : hiOe_;
        reg = applied(reg, which, value) & kHiPins;
        return true;
    }
    switch (offset) {
    case kCpuId:
    case kGpioIn:
    case kGpioHiIn:
    case kSpinLockSt:
    case kDivCsr:
        return true; // read-only
    case kFifoSt:
        mailboxes_.clearErrors(core);
        return true;
    case kFifoWr:
        mailboxes_.push(core, value);
        return true;
    case kFifoRd:
        return true;
    case kDivUDividend:
        div.writeDividend(value, false);
        return true;
    case kDivSDividend:
        div.writeDividend(value, true);
        return true;
    case kDivUDivisor:
        div.writeDivisor(value, false);
        return true;
    case kDivSDivisor:
        div.writeDivisor(value, true);
        return true;
    case kDivQuotient:
        div.writeQuotient(value);
        return true;
    case kDivRemainder:
        div.writeRemainder(value);
        return true;
    default:
        return false;
    }
}

} // namespace sim::rp2040
