// The single-cycle I/O block: private to the cores (each sees its own CPUID,
// divider and FIFO side at the same addresses), reached in one cycle. It
// holds the GPIO registers (which sim::Gpio declares, as the host model's SDK
// layer reaches them too), the inter-core FIFOs, the 32 spin locks and the
// two dividers.
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
    // 0x04..0x4c: the GPIO registers, sim::Gpio's SIO view.
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
};

} // namespace sim::rp2040
