/* Forced into the kernel's tasks.c by the rp2040 build (rp2040_images.cmake).
 *
 * The I2C slave interrupt runs from RAM, and so must everything it calls: a
 * fetch from flash in the interrupt waits for the XIP cache. Its task
 * notification and the kernel function that notification calls are placed
 * in the SDK's .time_critical sections, which the SDK's link puts in RAM.
 * The image checks walk the interrupt's calls and fail on any left in flash. */
#ifndef RP2040_ISR_RAM_TASKS_C_H
#define RP2040_ISR_RAM_TASKS_C_H

#include <stdint.h>

#include "pico/platform.h"

struct tskTaskControlBlock;

void __not_in_flash_func(vTaskGenericNotifyGiveFromISR)(struct tskTaskControlBlock* xTaskToNotify,
                                                        uint32_t uxIndexToNotify,
                                                        int32_t* pxHigherPriorityTaskWoken);
static void __not_in_flash_func(prvYieldForTask)(const struct tskTaskControlBlock* pxTCB);

#endif
