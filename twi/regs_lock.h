// The register-table lock and the locked task-side accessors.
#ifndef TWI_REGS_LOCK_H
#define TWI_REGS_LOCK_H

#include <cstdint>

#include "pico/critical_section.h"

// Guards every task-side access to register values. Initialised by mainTask
// before any task or handler that takes it exists.
extern critical_section_t critSecRegs;

// 16-bit value stored low byte first at `addr` and the entry after it, read
// or written in one holding of critSecRegs, so both bytes belong together.
// A missing address reads as 0 and is not written.
uint16_t regsRead16(uint8_t addr);
void regsWrite16(uint8_t addr, uint16_t value);

#endif
