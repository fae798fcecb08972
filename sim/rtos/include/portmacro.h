/* The RTOS port of the simulated RP2040: the types of the real port, with
 * interrupt and critical-section macros on the chip model. */
#ifndef PORTMACRO_H
#define PORTMACRO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t StackType_t;
typedef int32_t BaseType_t;
typedef uint32_t UBaseType_t;
typedef uint32_t TickType_t;

#define portSTACK_TYPE uint32_t
#define portBASE_TYPE long
#define portMAX_DELAY ((TickType_t)0xffffffffUL)
#define portTICK_TYPE_IS_ATOMIC 1
#define portTICK_PERIOD_MS ((TickType_t)1000 / configTICK_RATE_HZ)
#define portBYTE_ALIGNMENT 8
#define portSTACK_GROWTH (-1)
#define portMAX_CORE_COUNT 2

void vPortYieldFromISR(BaseType_t xSwitchRequired);
void vPortYield(void);
void vPortEnterCritical(void);
void vPortExitCritical(void);
uint32_t ulPortSetInterruptMask(void);
void vPortClearInterruptMask(uint32_t ulMask);
BaseType_t xPortGetCoreID(void);

#define portEND_SWITCHING_ISR(xSwitchRequired) vPortYieldFromISR(xSwitchRequired)
#define portYIELD_FROM_ISR(x) portEND_SWITCHING_ISR(x)
#define portYIELD() vPortYield()
#define portENTER_CRITICAL() vPortEnterCritical()
#define portEXIT_CRITICAL() vPortExitCritical()
#define portSET_INTERRUPT_MASK_FROM_ISR() ulPortSetInterruptMask()
#define portCLEAR_INTERRUPT_MASK_FROM_ISR(x) vPortClearInterruptMask(x)
#define portGET_CORE_ID() xPortGetCoreID()
#define portNOP()

#ifdef __cplusplus
}
#endif

#endif
