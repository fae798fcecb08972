#include "rp2040/sio.h"

#include "chip/gpio.h"

namespace sim::rp2040 {

void Sio::reset() {
    mailboxes_.reset();
    locks_ = 0;
    for (Divider& d : dividers_)
        d.reset();
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
    if (offset >= Gpio::kSioIn && offset < Gpio::kSioEnd && (offset & 3) == 0) {
        value = gpio_.sio().read(offset);
        return true;
    }
    switch (offset) {
    case kCpuId:
        value = std::uint32_t(core);
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
        return false; // the interpolators are absent
    }
}

bool Sio::write(int core, std::uint32_t offset, std::uint32_t value) {
    Divider& div = dividers_[core];
    if (offset >= kSpinLock0 && offset < kSize) {
        locks_ &= ~(1u << ((offset - kSpinLock0) / 4)); // any write releases
        return true;
    }
    if (offset >= Gpio::kSioIn && offset < Gpio::kSioEnd && (offset & 3) == 0) {
        gpio_.sio().write(offset, value);
        return true;
    }
    switch (offset) {
    case kCpuId:
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
