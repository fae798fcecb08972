// The single-cycle I/O block: private to the cores (each sees its own CPUID,
// divider and FIFO side at the same addresses), reached in one cycle. It
// holds the GPIO output and output-enable registers (the pins themselves are
// sim::Gpio), the QSPI pins' registers (kept, as no model hangs on them), the
// inter-core FIFOs, the 32 spin locks and the two dividers.
#pragma once

#include "rp2040/divider.h"
#include "rp2040/mailboxes.h"

#include <array>
#include <cstdint>

namespace sim {
class Gpio;
}

namespace sim::rp2040 {

class Sio {
public:
    static constexpr std::uint32_t kCpuId = 0x00;
    static constexpr std::uint32_t kGpioIn = 0x04;
    static constexpr std::uint32_t kGpioHiIn = 0x08;
    static constexpr std::uint32_t kGpioOut = 0x10;
    static constexpr std::uint32_t kGpioOe = 0x20;
    static constexpr std::uint32_t kGpioHiOut = 0x30;
    static constexpr std::uint32_t kGpioHiOe = 0x40;
    static constexpr std::uint32_t kFifoSt = 0x50;
    static constexpr std::uint32_t kFifoWr = 0x54;
    static constexpr std::uint32_t kFifoRd = 0x58;
    static constexpr std::uint32_t kSpinLockSt = 0x5c;
    static constexpr std::uint32_t kDivUDividend = 0x60;
    static constexpr std::uint32_t kDivUDivisor = 0x64;
    static constexpr std::uint32_t kDivSDividend = 0x68;
    static constexpr std::uint32_t kDivSDivisor = 0x6c;
    static constexpr std::uint32_t kDivQuotient = 0x70;
    static constexpr std::uint32_t kDivRemainder = 0x74;
    static constexpr std::uint32_t kDivCsr = 0x78;
    static constexpr std::uint32_t kInterpFirst = 0x80;
    static constexpr std::uint32_t kSpinLock0 = 0x100;
    static constexpr unsigned kSpinLocks = 32;
    static constexpr std::uint32_t kSize = 0x180;

    explicit Sio(Gpio& gpio) : gpio_(gpio) {}

    // Chip reset: FIFOs empty, locks free, dividers clear. The pins belong
    // to sim::Gpio, which resets itself.
    void reset();

    // An access by `core`; false where nothing answers (the interpolators,
    // not modelled, and the space past the spin locks).
    bool read(int core, std::uint32_t offset, std::uint32_t& value);
    bool write(int core, std::uint32_t offset, std::uint32_t value);

    Mailboxes& mailboxes() { return mailboxes_; }
    std::uint32_t spinLocks() const { return locks_; }
    Divider& divider(int core) { return dividers_[core]; }

private:
    Gpio& gpio_;
    Mailboxes mailboxes_;
    std::uint32_t locks_ = 0; // bit n set: lock n is taken
    std::array<Divider, 2> dividers_{};
    std::uint32_t hiOut_ = 0;
    std::uint32_t hiOe_ = 0;
};

} // namespace sim::rp2040
