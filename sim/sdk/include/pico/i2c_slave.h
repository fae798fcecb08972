// pico_i2c_slave on the simulated chip: an interrupt handler that turns the
// I2C block's interrupts into events for the application's handler.
#ifndef PICO_I2C_SLAVE_H
#define PICO_I2C_SLAVE_H

#include "hardware/i2c.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum i2c_slave_event_t {
    I2C_SLAVE_RECEIVE = 0, // a byte from the master waits in the receive FIFO
    I2C_SLAVE_REQUEST = 1, // the master reads: put one byte into the transmit FIFO
    I2C_SLAVE_FINISH = 2,  // STOP or repeated START after a transfer
} i2c_slave_event_t;

typedef void (*i2c_slave_handler_t)(i2c_inst_t* i2c, i2c_slave_event_t event);

// Makes the block a slave at `address` and installs the interrupt handler
// on the calling core, which then calls `handler` in interrupt context.
void i2c_slave_init(i2c_inst_t* i2c, uint8_t address, i2c_slave_handler_t handler);
void i2c_slave_deinit(i2c_inst_t* i2c);

#ifdef __cplusplus
}
#endif

#endif
