/* Forced into the RP2040 port's port.c by the rp2040 build
 * (rp2040_images.cmake): the port functions that the kernel's notification
 * from the I2C interrupt calls go to RAM with it (see tasks_c.h). */
#ifndef RP2040_ISR_RAM_PORT_C_H
#define RP2040_ISR_RAM_PORT_C_H

#include <stdint.h>

#include "pico/platform.h"

uint32_t __not_in_flash_func(ulSetInterruptMaskFromISR)(void);
void __not_in_flash_func(vClearInterruptMaskFromISR)(uint32_t ulMask);
void __not_in_flash_func(vYieldCore)(int xCoreID);

#endif
