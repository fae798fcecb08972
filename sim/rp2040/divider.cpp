#include "rp2040/divider.h"

namespace sim::rp2040 {

void Divider::writeDividend(std::uint32_t v, bool isSigned) {
    dividend_ = v;
    signed_ = isSigned;
    divide();
}

void Divider::writeDivisor(std::uint32_t v, bool isSigned) {
    divisor_ = v;
    signed_ = isSigned;
    divide();
}

void Divider::divide() {
    dirty_ = true;
    if (!signed_) {
        if (divisor_ == 0) {
            quotient_ = 0xffffffffu;
            remainder_ = dividend_;
        } else {
            quotient_ = dividend_ / divisor_;
            remainder_ = dividend_ % divisor_;
        }
        return;
    }
    const auto n = static_cast<std::int32_t>(dividend_);
    const auto d = static_cast<std::int32_t>(divisor_);
    if (d == 0) {
        quotient_ = n < 0 ? 1u : 0xffffffffu;
        remainder_ = dividend_;
    } else if (n == INT32_MIN && d == -1) {
        // The one quotient that does not fit wraps, as in two's complement.
        quotient_ = 0x80000000u;
        remainder_ = 0;
    } else {
        quotient_ = static_cast<std::uint32_t>(n / d);
        remainder_ = static_cast<std::uint32_t>(n % d);
    }
}

} // namespace sim::rp2040
