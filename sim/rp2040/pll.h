// One of the two PLLs. The output is the reference divided by CS.REFDIV,
// multiplied by FBDIV_INT in the VCO, then divided by both post dividers.
// CS.LOCK comes up once the VCO is powered with a usable feedback divider
// (at once: the lock time of a few microseconds is not modelled).
#pragma once

#include "chip/register_block.h"

#include <cstdint>

namespace sim::rp2040 {

class Pll : public RegisterBlock {
public:
    static constexpr std::uint32_t kCs = 0x0;
    static constexpr std::uint32_t kPwr = 0x4;
    static constexpr std::uint32_t kFbdivInt = 0x8;
    static constexpr std::uint32_t kPrim = 0xc;

    explicit Pll(std::uint64_t referenceHz) : referenceHz_(referenceHz) {}

    void reset();
    bool locked() const;
    // The output frequency, 0 while it is powered down or not locked.
    std::uint64_t outputHz() const;

    std::uint32_t read(std::uint32_t offset) override { return peek(offset); }
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    std::uint64_t referenceHz_;
    std::uint32_t cs_ = 0x1;
    std::uint32_t pwr_ = 0x2d;
    std::uint32_t fbdiv_ = 0;
    std::uint32_t prim_ = 0x77000;
};

} // namespace sim::rp2040
