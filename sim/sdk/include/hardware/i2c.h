// hardware_i2c on the simulated chip. The types, names and values are the
// SDK's; the functions reach the I2C block of the chip whose code is running,
// so one instance object serves every board in the simulation. On the chip
// several of these are inline register accesses; here they are calls.
#ifndef HARDWARE_I2C_H
#define HARDWARE_I2C_H

#include "hardware/structs/i2c.h"
#include "pico.h"

#ifdef __cplusplus
extern "C" {
#endif

// The registers are not memory on the host, so the instance carries the
// block's number where the chip's carries the register base.
struct i2c_inst {
    uint index;
    bool restart_on_next;
};
typedef struct i2c_inst i2c_inst_t;

extern i2c_inst_t i2c0_inst;
extern i2c_inst_t i2c1_inst;

#define i2c0 (&i2c0_inst)
#define i2c1 (&i2c1_inst)

// Resets the block and sets it up as a 100..400 kHz master with 7-bit
// addresses; returns the baud rate actually set.
uint i2c_init(i2c_inst_t* i2c, uint baudrate);
void i2c_deinit(i2c_inst_t* i2c);
uint i2c_set_baudrate(i2c_inst_t* i2c, uint baudrate);
// Slave mode at a 7-bit address, or back to master mode.
void i2c_set_slave_mode(i2c_inst_t* i2c, bool slave, uint8_t addr);

uint i2c_hw_index(i2c_inst_t* i2c);
#ifdef __cplusplus
// The block's registers, for what the functions do not cover.
i2c_hw_t* i2c_get_hw(i2c_inst_t* i2c);
#endif
i2c_inst_t* i2c_get_instance(uint instance);

// Free places in the transmit FIFO, bytes waiting in the receive FIFO.
size_t i2c_get_write_available(i2c_inst_t* i2c);
size_t i2c_get_read_available(i2c_inst_t* i2c);

// One byte straight from the receive FIFO / into the transmit FIFO, without
// any check (the slave's way of answering its events).
uint8_t i2c_read_byte_raw(i2c_inst_t* i2c);
void i2c_write_byte_raw(i2c_inst_t* i2c, uint8_t value);

#ifdef __cplusplus
}
#endif

#endif
