// hardware_pwm on the PWM model.
#include "sdk/runtime.h"

#include "hardware/pwm.h"

#include <cstdint>
#include <string>

using namespace sim;
using namespace sim::sdk;

namespace {

void checkSlice(HostChip& c, uint slice) {
    if (slice >= NUM_PWM_SLICES)
        c.failWith("PWM slice " + std::to_string(slice) + " does not exist");
}

std::uint32_t reg(uint slice, std::uint32_t offset) {
    return slice * Pwm::kSliceStride + offset;
}

// Read-modify-write of the bits in `mask` of one slice register.
void writeMasked(Pwm& p, uint slice, std::uint32_t offset, std::uint32_t value,
                 std::uint32_t mask) {
    const std::uint32_t r = reg(slice, offset);
    p.write(r, (p.read(r) & ~mask) | (value & mask));
}

// One slice register, for calls that only reach a checked slice.
template <class F>
void onSlice(uint slice, F&& f) {
    HostChip& c = chip();
    checkSlice(c, slice);
    f(c.pwm);
    done(c);
}

} // namespace

extern "C" {

void pwm_init(uint slice_num, pwm_config* c, bool start) {
    onSlice(slice_num, [&](Pwm& p) {
        p.write(reg(slice_num, Pwm::kCsr), 0);
        p.write(reg(slice_num, Pwm::kCtr), 0);
        p.write(reg(slice_num, Pwm::kCc), 0);
        p.write(reg(slice_num, Pwm::kTop), c->top);
        p.write(reg(slice_num, Pwm::kDiv), c->div);
        p.write(reg(slice_num, Pwm::kCsr),
                (c->csr & ~PWM_SIM_CSR_EN) | (start ? PWM_SIM_CSR_EN : 0u));
    });
}

void pwm_set_wrap(uint slice_num, uint16_t wrap) {
    onSlice(slice_num, [&](Pwm& p) { p.write(reg(slice_num, Pwm::kTop), wrap); });
}

void pwm_set_chan_level(uint slice_num, uint chan, uint16_t level) {
    const unsigned shift = (chan & 1u) * 16u;
    onSlice(slice_num, [&](Pwm& p) {
        writeMasked(p, slice_num, Pwm::kCc, std::uint32_t{level} << shift, 0xFFFFu << shift);
    });
}

void pwm_set_both_levels(uint slice_num, uint16_t level_a, uint16_t level_b) {
    onSlice(slice_num, [&](Pwm& p) {
        p.write(reg(slice_num, Pwm::kCc), level_a | std::uint32_t{level_b} << 16);
    });
}

void pwm_set_gpio_level(uint gpio, uint16_t level) {
    pwm_set_chan_level(pwm_gpio_to_slice_num(gpio), pwm_gpio_to_channel(gpio), level);
}

uint16_t pwm_get_counter(uint slice_num) {
    std::uint16_t count = 0;
    onSlice(slice_num,
            [&](Pwm& p) { count = static_cast<std::uint16_t>(p.read(reg(slice_num, Pwm::kCtr))); });
    return count;
}

void pwm_set_counter(uint slice_num, uint16_t count) {
    onSlice(slice_num, [&](Pwm& p) { p.write(reg(slice_num, Pwm::kCtr), count); });
}

void pwm_set_clkdiv_int_frac(uint slice_num, uint8_t integer, uint8_t fract) {
    onSlice(slice_num, [&](Pwm& p) {
        p.write(reg(slice_num, Pwm::kDiv),
                std::uint32_t{integer} << PWM_SIM_DIV_INT_LSB | (fract & 0xFu));
    });
}

void pwm_set_clkdiv(uint slice_num, float divider) {
    const auto integer = static_cast<std::uint8_t>(divider);
    const auto fract = static_cast<std::uint8_t>((divider - integer) * 16.0f);
    pwm_set_clkdiv_int_frac(slice_num, integer, fract);
}

void pwm_set_output_polarity(uint slice_num, bool a, bool b) {
    const std::uint32_t mask = (1u << PWM_SIM_CSR_A_INV_LSB) | (1u << PWM_SIM_CSR_B_INV_LSB);
    const std::uint32_t bits =
        (bool_to_bit(a) << PWM_SIM_CSR_A_INV_LSB) | (bool_to_bit(b) << PWM_SIM_CSR_B_INV_LSB);
    onSlice(slice_num, [&](Pwm& p) { writeMasked(p, slice_num, Pwm::kCsr, bits, mask); });
}

void pwm_set_clkdiv_mode(uint slice_num, enum pwm_clkdiv_mode mode) {
    const std::uint32_t bits = static_cast<std::uint32_t>(mode) << PWM_SIM_CSR_DIVMODE_LSB;
    onSlice(slice_num, [&](Pwm& p) {
        writeMasked(p, slice_num, Pwm::kCsr, bits, 3u << PWM_SIM_CSR_DIVMODE_LSB);
    });
}

void pwm_set_phase_correct(uint slice_num, bool phase_correct) {
    const std::uint32_t bit = 1u << PWM_SIM_CSR_PH_CORRECT_LSB;
    onSlice(slice_num,
            [&](Pwm& p) { writeMasked(p, slice_num, Pwm::kCsr, phase_correct ? bit : 0u, bit); });
}

void pwm_set_enabled(uint slice_num, bool enabled) {
    onSlice(slice_num, [&](Pwm& p) {
        writeMasked(p, slice_num, Pwm::kCsr, enabled ? PWM_SIM_CSR_EN : 0u, PWM_SIM_CSR_EN);
    });
}

void pwm_set_mask_enabled(uint32_t mask) {
    HostChip& c = chip();
    c.pwm.write(Pwm::kEn, mask);
    done(c);
}

} // extern "C"
