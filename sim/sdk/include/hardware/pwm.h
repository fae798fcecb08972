// The eight PWM slices; slice n drives GPIO 2n (channel A) and 2n+1 (B), and
// again 16 pins further on.
#ifndef _HARDWARE_PWM_H
#define _HARDWARE_PWM_H

#include "pico.h"

#ifdef __cplusplus
extern "C" {
#endif

enum pwm_clkdiv_mode {
    PWM_DIV_FREE_RUNNING = 0,
    PWM_DIV_B_HIGH = 1,
    PWM_DIV_B_RISING = 2,
    PWM_DIV_B_FALLING = 3,
};

enum pwm_chan {
    PWM_CHAN_A = 0,
    PWM_CHAN_B = 1,
};

// The slice registers a configuration sets: CSR, DIV (8.4) and TOP.
typedef struct {
    uint32_t csr;
    uint32_t div;
    uint32_t top;
} pwm_config;

// Bit positions of CSR and DIV.
#define PWM_SIM_CSR_EN 0x1u
#define PWM_SIM_CSR_PH_CORRECT_LSB 1u
#define PWM_SIM_CSR_A_INV_LSB 2u
#define PWM_SIM_CSR_B_INV_LSB 3u
#define PWM_SIM_CSR_DIVMODE_LSB 4u
#define PWM_SIM_DIV_INT_LSB 4u

static inline uint pwm_gpio_to_slice_num(uint gpio) {
    return (gpio >> 1u) & 7u;
}
static inline uint pwm_gpio_to_channel(uint gpio) {
    return gpio & 1u;
}

static inline void pwm_config_set_phase_correct(pwm_config* c, bool phase_correct) {
    c->csr = (c->csr & ~(1u << PWM_SIM_CSR_PH_CORRECT_LSB)) |
             (bool_to_bit(phase_correct) << PWM_SIM_CSR_PH_CORRECT_LSB);
}

static inline void pwm_config_set_clkdiv_int_frac(pwm_config* c, uint8_t integer, uint8_t fract) {
    c->div = ((uint)integer << PWM_SIM_DIV_INT_LSB) | ((uint)fract & 0xfu);
}

static inline void pwm_config_set_clkdiv(pwm_config* c, float div) {
    c->div = (uint32_t)(div * (float)(1u << PWM_SIM_DIV_INT_LSB));
}

static inline void pwm_config_set_clkdiv_int(pwm_config* c, uint div) {
    pwm_config_set_clkdiv_int_frac(c, (uint8_t)div, 0);
}

static inline void pwm_config_set_clkdiv_mode(pwm_config* c, enum pwm_clkdiv_mode mode) {
    c->csr = (c->csr & ~(3u << PWM_SIM_CSR_DIVMODE_LSB)) | ((uint)mode << PWM_SIM_CSR_DIVMODE_LSB);
}

static inline void pwm_config_set_output_polarity(pwm_config* c, bool a, bool b) {
    c->csr = (c->csr & ~((1u << PWM_SIM_CSR_A_INV_LSB) | (1u << PWM_SIM_CSR_B_INV_LSB))) |
             (bool_to_bit(a) << PWM_SIM_CSR_A_INV_LSB) | (bool_to_bit(b) << PWM_SIM_CSR_B_INV_LSB);
}

static inline void pwm_config_set_wrap(pwm_config* c, uint16_t wrap) {
    c->top = wrap;
}

// Free-running, divider 1, no inversion, wrap 0xffff.
static inline pwm_config pwm_get_default_config(void) {
    pwm_config c = {0, 0, 0};
    pwm_config_set_phase_correct(&c, false);
    pwm_config_set_clkdiv_int(&c, 1);
    pwm_config_set_clkdiv_mode(&c, PWM_DIV_FREE_RUNNING);
    pwm_config_set_output_polarity(&c, false, false);
    pwm_config_set_wrap(&c, 0xffffu);
    return c;
}

// Stops the slice, clears counter and levels, applies the configuration,
// and starts the slice when `start` is set.
void pwm_init(uint slice_num, pwm_config* c, bool start);
void pwm_set_wrap(uint slice_num, uint16_t wrap);
void pwm_set_chan_level(uint slice_num, uint chan, uint16_t level);
void pwm_set_both_levels(uint slice_num, uint16_t level_a, uint16_t level_b);
void pwm_set_gpio_level(uint gpio, uint16_t level);
uint16_t pwm_get_counter(uint slice_num);
void pwm_set_counter(uint slice_num, uint16_t c);
void pwm_set_clkdiv_int_frac(uint slice_num, uint8_t integer, uint8_t fract);
void pwm_set_clkdiv(uint slice_num, float divider);
void pwm_set_output_polarity(uint slice_num, bool a, bool b);
void pwm_set_clkdiv_mode(uint slice_num, enum pwm_clkdiv_mode mode);
void pwm_set_phase_correct(uint slice_num, bool phase_correct);
void pwm_set_enabled(uint slice_num, bool enabled);
void pwm_set_mask_enabled(uint32_t mask);

#ifdef __cplusplus
}
#endif

#endif
