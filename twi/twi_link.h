// State shared by the I2C slave handler and the host-link task.
#ifndef TWI_TWI_LINK_H
#define TWI_TWI_LINK_H

#include <cstdint>

#include "FreeRTOS.h"
#include "pico/critical_section.h"
#include "task.h"
#include "twi/record_ring.h"
#include "twi/twi.h"

// Host writes, captured by the handler and applied by TWI-Task. The shortest
// write that queues a record (address byte, register, one data byte, each
// 9 SCL periods at 100 kHz, plus START and STOP) takes about 0.28 ms, so a
// host writing back to back brings at most 3.6 records per ms. TWI-Task
// (priority 29, core 1) empties the queue on every wake-up and is held off
// only by the timer service task and interrupts, for microseconds at a time;
// 16 records ride out 4.5 ms of such writes for 1.6 KB of RAM. The storage is
// static, so the handler never allocates; when it is full the newest record
// is dropped.
constexpr uint32_t HOST_WRITE_QUEUE_DEPTH = 16;
extern RecordRing<_buf_t, HOST_WRITE_QUEUE_DEPTH> _q;

// Guards _q between the handler (push) and TWI-Task (front, pop).
extern critical_section_t _critSec;

// TWI-Task, the target of the handler's notifications.
extern TaskHandle_t _taskHandle;

// Host activity seen by the handler and not yet reported; set by the
// handler, read and cleared by TWI-Task.
extern volatile uint8_t _setHeartbeat;

#endif
