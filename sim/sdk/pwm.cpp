// hardware_pwm on the PWM model.
#include "sdk/runtime.h"

#include "hardware/pwm.h"

#include <string>

using namespace sim;
using namespace sim::sdk;

namespace {

void checkSlice(Chip& c, uint slice) {
    if (slice >= NUM_PWM_SLICES)
        c.failWith("PWM slice " + std::to_string(slice) + " does not exist");
}

} // namespace

extern "C" {

void pwm_init(uint slice_num, pwm_config* c, bool start) {
    Chip& ch = chip();
    checkSlice(ch, slice_num);
    Pwm& p = ch.pwm;
    p.writeControl(slice_num, 0);
    p.setCounter(slice_num, 0);
    p.setLevels(slice_num, 0, 0);
    p.setTop(slice_num, static_cast<std::uint16_t>(c->top));
    p.setDivider(slice_num, static_cast<std::uint8_t>(c->div >> PWM_SIM_DIV_INT_LSB),
                 static_cast<std::uint8_t>(c->div & 0xFu));
    p.writeControl(slice_num, (c->csr & ~PWM_SIM_CSR_EN) | (start ? PWM_SIM_CSR_EN : 0u));
    done(ch);
}

void pwm_set_wrap(uint slice_num, uint16_t wrap) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    c.pwm.setTop(slice_num, wrap);
    done(c);
}

void pwm_set_chan_level(uint slice_num, uint chan, uint16_t level) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    c.pwm.setLevel(slice_num, chan & 1u, level);
    done(c);
}

void pwm_set_both_levels(uint slice_num, uint16_t level_a, uint16_t level_b) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    c.pwm.setLevels(slice_num, level_a, level_b);
    done(c);
}

void pwm_set_gpio_level(uint gpio, uint16_t level) {
    pwm_set_chan_level(pwm_gpio_to_slice_num(gpio), pwm_gpio_to_channel(gpio), level);
}

uint16_t pwm_get_counter(uint slice_num) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    std::uint16_t count = c.pwm.counter(slice_num);
    done(c);
    return count;
}

void pwm_set_counter(uint slice_num, uint16_t count) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    c.pwm.setCounter(slice_num, count);
    done(c);
}

void pwm_set_clkdiv_int_frac(uint slice_num, uint8_t integer, uint8_t fract) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    c.pwm.setDivider(slice_num, integer, fract);
    done(c);
}

void pwm_set_clkdiv(uint slice_num, float divider) {
    const auto integer = static_cast<std::uint8_t>(divider);
    const auto fract = static_cast<std::uint8_t>((divider - integer) * 16.0f);
    pwm_set_clkdiv_int_frac(slice_num, integer, fract);
}

void pwm_set_output_polarity(uint slice_num, bool a, bool b) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    std::uint32_t csr =
        c.pwm.control(slice_num) & ~((1u << PWM_SIM_CSR_A_INV_LSB) | (1u << PWM_SIM_CSR_B_INV_LSB));
    csr |= (bool_to_bit(a) << PWM_SIM_CSR_A_INV_LSB) | (bool_to_bit(b) << PWM_SIM_CSR_B_INV_LSB);
    c.pwm.writeControl(slice_num, csr);
    done(c);
}

void pwm_set_clkdiv_mode(uint slice_num, enum pwm_clkdiv_mode mode) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    std::uint32_t csr = c.pwm.control(slice_num) & ~(3u << PWM_SIM_CSR_DIVMODE_LSB);
    c.pwm.writeControl(slice_num,
                       csr | (static_cast<std::uint32_t>(mode) << PWM_SIM_CSR_DIVMODE_LSB));
    done(c);
}

void pwm_set_phase_correct(uint slice_num, bool phase_correct) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    std::uint32_t csr = c.pwm.control(slice_num) & ~(1u << PWM_SIM_CSR_PH_CORRECT_LSB);
    c.pwm.writeControl(slice_num, csr | (bool_to_bit(phase_correct) << PWM_SIM_CSR_PH_CORRECT_LSB));
    done(c);
}

void pwm_set_enabled(uint slice_num, bool enabled) {
    Chip& c = chip();
    checkSlice(c, slice_num);
    c.pwm.setEnabled(slice_num, enabled);
    done(c);
}

void pwm_set_mask_enabled(uint32_t mask) {
    Chip& c = chip();
    c.pwm.setEnabledMask(mask);
    done(c);
}

} // extern "C"
