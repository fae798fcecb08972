// The crystal oscillator (12 MHz on the boards). Enabled through the magic
// value in CTRL.ENABLE, it reports STATUS.STABLE once its start-up delay has
// passed: STARTUP.DELAY counts 256 crystal cycles per step (four times as
// many with STARTUP.X4). COUNT counts down at the crystal frequency.
#pragma once

#include "chip/register_block.h"
#include "engine/simulation.h"

#include <cstdint>

namespace sim::rp2040 {

class Xosc : public RegisterBlock {
public:
    static constexpr std::uint64_t kHz = 12000000;
    static constexpr std::uint32_t kCtrl = 0x00;
    static constexpr std::uint32_t kStatus = 0x04;
    static constexpr std::uint32_t kDormant = 0x08;
    static constexpr std::uint32_t kStartup = 0x0c;
    static constexpr std::uint32_t kCount = 0x1c;

    explicit Xosc(Simulation& sim) : sim_(sim) {}

    void reset();
    bool enabled() const { return enabled_; }
    bool stable() const;

    std::uint32_t read(std::uint32_t offset) override { return peek(offset); }
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    Simulation& sim_;
    std::uint32_t ctrl_ = 0;
    std::uint32_t startup_ = 0xc4;
    bool enabled_ = false;
    bool badWrite_ = false;
    Time enabledAt_ = 0;
    std::uint32_t count_ = 0;
    Time countAt_ = 0;
};

} // namespace sim::rp2040
