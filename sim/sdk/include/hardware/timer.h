// The 64-bit microsecond timer and its four hardware alarms.
#ifndef _HARDWARE_TIMER_H
#define _HARDWARE_TIMER_H

#include "pico.h"

#ifdef __cplusplus
extern "C" {
#endif

uint32_t time_us_32(void);
uint64_t time_us_64(void);
// Busy-waits spend the time on the calling core, which stays runnable for
// interrupts.
void busy_wait_us_32(uint32_t delay_us);
void busy_wait_us(uint64_t delay_us);
void busy_wait_ms(uint32_t delay_ms);
void busy_wait_until(absolute_time_t t);
bool time_reached(absolute_time_t t);

typedef void (*hardware_alarm_callback_t)(uint alarm_num);

void hardware_alarm_claim(uint alarm_num);
int hardware_alarm_claim_unused(bool required);
void hardware_alarm_unclaim(uint alarm_num);
bool hardware_alarm_is_claimed(uint alarm_num);
// Installs the alarm's handler and enables TIMER_IRQ_n on the calling core.
void hardware_alarm_set_callback(uint alarm_num, hardware_alarm_callback_t callback);
// Returns true when the target has already passed (the alarm is not set).
bool hardware_alarm_set_target(uint alarm_num, absolute_time_t t);
void hardware_alarm_cancel(uint alarm_num);
void hardware_alarm_force_irq(uint alarm_num);

#ifdef __cplusplus
}
#endif

#endif
