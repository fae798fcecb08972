// pico_i2c_slave on the chip model. The interrupt handler works through the
// block's interrupt status the way the SDK's does, and in the same order:
// within one entry, the end of a transfer (STOP, repeated START or abort) is
// reported before the received byte and the read request. So a handler that
// is late can see FINISH while the last byte still waits in the receive FIFO.
#include "pico/i2c_slave.h"

#include "sdk/host_chip.h"
#include "chip/i2c_controller.h"
#include "hardware/irq.h"

using sim::I2cController;

namespace {

// The interrupts the slave layer listens to.
constexpr uint32_t kSlaveInterrupts = I2cController::kRxFull | I2cController::kRdReq |
                                      I2cController::kTxAbrt | I2cController::kStopDet |
                                      I2cController::kStartDet;
constexpr uint32_t kIntrMaskReset = 0x8ff;

i2c_slave_handler_t handlerOf(const I2cController::SlaveLayer& layer) {
    return reinterpret_cast<i2c_slave_handler_t>(layer.handler);
}

void i2cSlaveIrq() {
    I2cController& c = sim::HostChip::current().i2c0Block;
    I2cController::SlaveLayer& layer = c.slaveLayer();
    i2c_slave_handler_t handler = handlerOf(layer);
    uint32_t status = c.read(I2cController::kIntrStat);
    if (status == 0 || !handler)
        return;

    // Each condition that ends a transfer is acknowledged by reading its
    // clear register.
    bool transferEnded = false;
    if (status & I2cController::kTxAbrt) {
        c.read(I2cController::kClrTxAbrt);
        transferEnded = true;
    }
    if (status & I2cController::kStartDet) {
        c.read(I2cController::kClrStartDet);
        transferEnded = true;
    }
    if (status & I2cController::kStopDet) {
        c.read(I2cController::kClrStopDet);
        transferEnded = true;
    }
    if (transferEnded && layer.transferInProgress) {
        handler(i2c0, I2C_SLAVE_FINISH);
        layer.transferInProgress = false;
    }
    // RX_FULL clears itself when the handler empties the FIFO; a byte left
    // there keeps the line high and brings the handler back.
    if (status & I2cController::kRxFull) {
        layer.transferInProgress = true;
        handler(i2c0, I2C_SLAVE_RECEIVE);
    }
    if (status & I2cController::kRdReq) {
        c.read(I2cController::kClrRdReq);
        layer.transferInProgress = true;
        handler(i2c0, I2C_SLAVE_REQUEST);
    }
}

} // namespace

void i2c_slave_init(i2c_inst_t* i2c, uint8_t address, i2c_slave_handler_t handler) {
    sim::HostChip& chip = sim::HostChip::current();
    if (i2c != i2c0)
        chip.fail("i2c_slave_init: only i2c0 is modelled");
    if (!handler)
        chip.fail("i2c_slave_init: no handler");
    I2cController& c = chip.i2c0Block;
    c.slaveLayer().handler = reinterpret_cast<void (*)()>(handler);
    // Clock stretching on a read request needs no setting: the block holds
    // SCL while its transmit FIFO is empty.
    i2c_set_slave_mode(i2c, true, address);
    c.write(I2cController::kIntrMask, kSlaveInterrupts);
    // The handler runs on the core that makes this call.
    irq_set_exclusive_handler(I2C0_IRQ, &i2cSlaveIrq);
    irq_set_enabled(I2C0_IRQ, true);
}

void i2c_slave_deinit(i2c_inst_t* i2c) {
    sim::HostChip& chip = sim::HostChip::current();
    if (i2c != i2c0)
        chip.fail("i2c_slave_deinit: only i2c0 is modelled");
    I2cController& c = chip.i2c0Block;
    if (!c.slaveLayer().handler)
        chip.fail("i2c_slave_deinit: the slave was never initialised");
    c.slaveLayer() = I2cController::SlaveLayer{};
    irq_set_enabled(I2C0_IRQ, false);
    irq_remove_handler(I2C0_IRQ, &i2cSlaveIrq);
    c.write(I2cController::kIntrMask, kIntrMaskReset);
    i2c_set_slave_mode(i2c, false, 0);
}
