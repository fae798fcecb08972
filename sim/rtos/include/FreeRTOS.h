/* The RTOS API of the simulated board: the same names, types and values as
 * FreeRTOS-Kernel SMP on the RP2040, implemented on the chip model. */
#ifndef INC_FREERTOS_H
#define INC_FREERTOS_H

#include <stddef.h>
#include <stdint.h>

#include "FreeRTOSConfig.h"
#include "projdefs.h"
#include "portmacro.h"

#define tskKERNEL_VERSION_NUMBER "V11.1.0+"

#ifndef configASSERT
#define configASSERT(x)
#endif

#define configSTACK_DEPTH_TYPE StackType_t

#ifdef __cplusplus
extern "C" {
#endif

void* pvPortMalloc(size_t xWantedSize);
void vPortFree(void* pv);

#ifdef __cplusplus
}
#endif

#endif
