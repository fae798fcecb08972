// The NVIC of each core: interrupt enables (per core), priorities, and the
// handlers, exclusive or shared.
#ifndef _HARDWARE_IRQ_H
#define _HARDWARE_IRQ_H

#include "pico.h"
#include "hardware/regs/intctrl.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PICO_DEFAULT_IRQ_PRIORITY 0x80
#define PICO_LOWEST_IRQ_PRIORITY 0xff
#define PICO_HIGHEST_IRQ_PRIORITY 0x00

#define PICO_SHARED_IRQ_HANDLER_DEFAULT_ORDER_PRIORITY 0x80
#define PICO_SHARED_IRQ_HANDLER_HIGHEST_ORDER_PRIORITY 0xff
#define PICO_SHARED_IRQ_HANDLER_LOWEST_ORDER_PRIORITY 0x00

typedef void (*irq_handler_t)(void);

// Enables or disables the interrupt on the calling core.
void irq_set_enabled(uint num, bool enabled);
bool irq_is_enabled(uint num);
void irq_set_mask_enabled(uint32_t mask, bool enabled);
void irq_set_priority(uint num, uint8_t hardware_priority);
void irq_set_exclusive_handler(uint num, irq_handler_t handler);
irq_handler_t irq_get_exclusive_handler(uint num);
irq_handler_t irq_get_vtable_handler(uint num);
// Shared handlers run in order, the highest order priority first.
void irq_add_shared_handler(uint num, irq_handler_t handler, uint8_t order_priority);
void irq_remove_handler(uint num, irq_handler_t handler);
bool irq_has_shared_handler(uint num);

#ifdef __cplusplus
}
#endif

#endif
