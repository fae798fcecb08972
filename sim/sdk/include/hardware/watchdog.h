// The hardware watchdog.
#ifndef _HARDWARE_WATCHDOG_H
#define _HARDWARE_WATCHDOG_H

#include "pico.h"

#ifdef __cplusplus
extern "C" {
#endif

// Arms the watchdog: the chip resets unless watchdog_update comes within
// `delay_ms`. With `pause_on_debug` the count stops while a debugger halts
// the cores.
void watchdog_enable(uint32_t delay_ms, bool pause_on_debug);
// Reloads the count to the full delay.
void watchdog_update(void);
// Resets the chip after `delay_ms` (at once for 0); `pc` and `sp` non-zero
// would boot to that address, which the simulated chip does not do.
void watchdog_reboot(uint32_t pc, uint32_t sp, uint32_t delay_ms);
bool watchdog_caused_reboot(void);
bool watchdog_enable_caused_reboot(void);
// Microseconds left before the reset.
uint32_t watchdog_get_count(void);
void watchdog_start_tick(uint cycles);

#ifdef __cplusplus
}
#endif

#endif
