// The thermocouple task: scans the eight converters into registers 0x80..0x8F.
#ifndef BOARDS_QUILLET_THERMO_TASK_H
#define BOARDS_QUILLET_THERMO_TASK_H

// Task body of "Thermo"; ignores its parameter and never returns.
void thermoTask(void* parameter);

#endif
