// Supervision of both cores through the hardware watchdog: a task on core 1
// sends a heartbeat, a task on core 0 feeds the hardware when one arrives.
#ifndef AGENTS_WATCHDOG_H
#define AGENTS_WATCHDOG_H

// Creates "Watchdog-0" and "Watchdog-1". Called from main before the
// scheduler starts; the hardware is armed later, by "Watchdog-0".
void initWatchdog();

#endif
