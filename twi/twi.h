// The board's I2C link to the host ("TWI"): pins and controller set-up, the
// slave event handler, and the task that applies host writes.
#ifndef TWI_TWI_H
#define TWI_TWI_H

#include <cstdint>

#include "agents/task_agent.h"
#include "hardware/i2c.h"
#include "pico/i2c_slave.h"

class BoardTask;

// One captured host write transaction.
struct _buf_t {
    uint8_t addr;      // first byte: register address, or 0xFF
    uint8_t data[100]; // the data bytes that followed, at most 100 kept
    uint8_t len;       // number of bytes in data
};
static_assert(sizeof(_buf_t) == 102, "a write record is 102 bytes");

class TwiTask : public TaskAgent {
public:
    // Creates "TWI-Task" on core 1 answering at `address`; true when created.
    bool start(uint8_t address);
    void run(void* param) override;

private:
    uint8_t _slaveAddr = 0;
};

// I2C pins, controller, the write-queue lock and the descriptor length
// registers; the board does not answer on the bus until TwiTask runs.
void twiInit(BoardTask* board);

// The slave event handler, installed by TWI-Task; runs in interrupt context.
void _twiHandler(i2c_inst_t* i2c, i2c_slave_event_t event);

// Puts the link's own interrupt handler in front of the slave layer's, on
// the calling core; called right after i2c_slave_init.
void twiWrapSlaveIrq();

#endif
