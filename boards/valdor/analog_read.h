// valdor's two analog inputs, sampled in turn every 20 ticks into 0x70..0x73.
#ifndef BOARDS_VALDOR_ANALOG_READ_H
#define BOARDS_VALDOR_ANALOG_READ_H

// Task body; the parameter is not used. Relies on the ADC being initialised
// by the slot detection before the task is created.
void aReadTask(void* parameter);

#endif
