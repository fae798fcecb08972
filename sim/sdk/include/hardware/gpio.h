// GPIO of the simulated chip: function select, pads, the SIO input/output
// registers and the per-core GPIO interrupts of IO bank 0.
#ifndef _HARDWARE_GPIO_H
#define _HARDWARE_GPIO_H

#include "pico.h"
#include "hardware/irq.h"

#ifdef __cplusplus
extern "C" {
#endif

enum gpio_function {
    GPIO_FUNC_XIP = 0,
    GPIO_FUNC_SPI = 1,
    GPIO_FUNC_UART = 2,
    GPIO_FUNC_I2C = 3,
    GPIO_FUNC_PWM = 4,
    GPIO_FUNC_SIO = 5,
    GPIO_FUNC_PIO0 = 6,
    GPIO_FUNC_PIO1 = 7,
    GPIO_FUNC_GPCK = 8,
    GPIO_FUNC_USB = 9,
    GPIO_FUNC_NULL = 0x1f,
};

#define GPIO_OUT 1
#define GPIO_IN 0

enum gpio_irq_level {
    GPIO_IRQ_LEVEL_LOW = 0x1u,
    GPIO_IRQ_LEVEL_HIGH = 0x2u,
    GPIO_IRQ_EDGE_FALL = 0x4u,
    GPIO_IRQ_EDGE_RISE = 0x8u,
};

typedef void (*gpio_irq_callback_t)(uint gpio, uint32_t event_mask);

// --- function select and pads ---------------------------------------------
void gpio_set_function(uint gpio, enum gpio_function fn);
enum gpio_function gpio_get_function(uint gpio);
// Both pulls on make the pad's bus keeper.
void gpio_set_pulls(uint gpio, bool up, bool down);
void gpio_pull_up(uint gpio);
bool gpio_is_pulled_up(uint gpio);
void gpio_pull_down(uint gpio);
bool gpio_is_pulled_down(uint gpio);
void gpio_disable_pulls(uint gpio);
void gpio_set_input_enabled(uint gpio, bool enabled);

// Input, output low, function SIO.
void gpio_init(uint gpio);
void gpio_init_mask(uint gpio_mask);
// Function NULL.
void gpio_deinit(uint gpio);

// --- interrupts (for the calling core) ------------------------------------------
void gpio_set_irq_enabled(uint gpio, uint32_t event_mask, bool enabled);
void gpio_set_irq_callback(gpio_irq_callback_t callback);
void gpio_set_irq_enabled_with_callback(uint gpio, uint32_t event_mask, bool enabled,
                                        gpio_irq_callback_t callback);
uint32_t gpio_get_irq_event_mask(uint gpio);
void gpio_acknowledge_irq(uint gpio, uint32_t event_mask);

// --- input ------------------------------------------------------------------------
bool gpio_get(uint gpio);
uint32_t gpio_get_all(void);

// --- output ---------------------------------------------------------------------------
void gpio_set_mask(uint32_t mask);
void gpio_clr_mask(uint32_t mask);
void gpio_xor_mask(uint32_t mask);
// One write of the toggle register: the masked pins change together.
void gpio_put_masked(uint32_t mask, uint32_t value);
void gpio_put_all(uint32_t value);
void gpio_put(uint gpio, bool value);
bool gpio_get_out_level(uint gpio);

// --- direction --------------------------------------------------------------------------
void gpio_set_dir_out_masked(uint32_t mask);
void gpio_set_dir_in_masked(uint32_t mask);
void gpio_set_dir_masked(uint32_t mask, uint32_t value);
void gpio_set_dir_all_bits(uint32_t values);
void gpio_set_dir(uint gpio, bool out);
bool gpio_is_dir_out(uint gpio);
uint gpio_get_dir(uint gpio);

#ifdef __cplusplus
}
#endif

#endif
