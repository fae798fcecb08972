// One core's hardware integer divider in the SIO. Writing the dividend or
// the divisor starts a division, signed or unsigned by the register written;
// QUOTIENT and REMAINDER can also be written (the SDK saves and restores the
// divider around interrupts that way). CSR.DIRTY is set by any write and
// cleared by reading QUOTIENT. On silicon the result takes 8 cycles and the
// SDK always waits them; here it is there at once, so CSR.READY is always 1.
// Division by zero gives a quotient of all ones (unsigned), -1 or +1 by the
// sign of the dividend (signed), and the dividend as the remainder.
#pragma once

#include <cstdint>

namespace sim::rp2040 {

class Divider {
public:
    static constexpr std::uint32_t kReady = 1u << 0;
    static constexpr std::uint32_t kDirty = 1u << 1;

    void reset() { *this = Divider{}; }

    void writeDividend(std::uint32_t v, bool isSigned);
    void writeDivisor(std::uint32_t v, bool isSigned);
    void writeQuotient(std::uint32_t v) {
        quotient_ = v;
        dirty_ = true;
    }
    void writeRemainder(std::uint32_t v) {
        remainder_ = v;
        dirty_ = true;
    }

    std::uint32_t dividend() const { return dividend_; }
    std::uint32_t divisor() const { return divisor_; }
    std::uint32_t remainder() const { return remainder_; }
    std::uint32_t peekQuotient() const { return quotient_; }
    std::uint32_t readQuotient() {
        dirty_ = false;
        return quotient_;
    }
    std::uint32_t csr() const { return kReady | (dirty_ ? kDirty : 0); }

private:
    void divide();

    std::uint32_t dividend_ = 0;
    std::uint32_t divisor_ = 0;
    std::uint32_t quotient_ = 0;
    std::uint32_t remainder_ = 0;
    bool signed_ = false;
    bool dirty_ = false;
};

} // namespace sim::rp2040
