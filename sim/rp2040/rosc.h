// The ring oscillator, the clock the chip starts on. It runs from reset and
// reports itself stable; RANDOMBIT gives a bit of a deterministic sequence
// (on silicon it is jitter, here a run must repeat exactly). COUNT counts
// down at the nominal frequency.
#pragma once

#include "chip/register_block.h"
#include "engine/simulation.h"

#include <cstdint>

namespace sim::rp2040 {

class Rosc : public RegisterBlock {
public:
    static constexpr std::uint64_t kNominalHz = 6500000;
    static constexpr std::uint32_t kCtrl = 0x00;
    static constexpr std::uint32_t kFreqA = 0x04;
    static constexpr std::uint32_t kFreqB = 0x08;
    static constexpr std::uint32_t kDormant = 0x0c;
    static constexpr std::uint32_t kDiv = 0x10;
    static constexpr std::uint32_t kPhase = 0x14;
    static constexpr std::uint32_t kStatus = 0x18;
    static constexpr std::uint32_t kRandomBit = 0x1c;
    static constexpr std::uint32_t kCount = 0x20;

    explicit Rosc(Simulation& sim) : sim_(sim) {}

    void reset();
    bool enabled() const { return enabled_; }

    std::uint32_t read(std::uint32_t offset) override;
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    Simulation& sim_;
    std::uint32_t ctrl_ = 0xaa0;
    std::uint32_t freqA_ = 0, freqB_ = 0, div_ = 0, phase_ = 0x8, count_ = 0;
    Time countAt_ = 0;
    bool enabled_ = true;
    std::uint32_t lfsr_ = 0xace1;
};

} // namespace sim::rp2040
