// hardware_i2c on the chip model: each call reaches the I2C block of the chip
// whose code is running, through its registers as the SDK does on silicon.
#include "hardware/i2c.h"

#include "sdk/host_chip.h"
#include "chip/i2c_controller.h"

#include <string>

using sim::I2cController;

i2c_inst_t i2c0_inst = {0, false};
i2c_inst_t i2c1_inst = {1, false};

namespace {

// The block runs from clk_sys, which the SDK sets to 125 MHz at start-up.
constexpr uint kClkSysHz = 125000000;

I2cController& block(i2c_inst_t* i2c) {
    sim::HostChip& chip = sim::HostChip::current();
    if (i2c != &i2c0_inst)
        chip.fail("I2C1 is not part of the board: only i2c0 is modelled");
    return chip.i2c0Block;
}

void preemptionPoint() {
    sim::HostChip::current().preemptionPoint();
}

// The SCL period is a whole number of clk_sys cycles, the nearest to the
// asked rate; the rate actually set comes from that.
uint setBaudrate(I2cController& c, uint baudrate) {
    if (baudrate == 0)
        sim::HostChip::current().fail("i2c_set_baudrate: baud rate 0");
    uint period = (kClkSysHz + baudrate / 2) / baudrate;
    // As the SDK programs the block: three fifths of the period low, the
    // spike filter at a sixteenth of the low count, and the data hold on
    // SDA the I2C-bus minimum of 300 ns (120 ns in fast mode plus), rounded up.
    const uint lcnt = period * 3 / 5;
    const uint hcnt = period - lcnt;
    const uint holdNs = baudrate < 1000000 ? 300 : 120;
    const uint hold =
        static_cast<uint>(static_cast<uint64_t>(kClkSysHz) * holdNs / 1000000000u) + 1;
    c.write(I2cController::kEnable, 0);
    c.write(I2cController::kFsSclHcnt, hcnt);
    c.write(I2cController::kFsSclLcnt, lcnt);
    c.write(I2cController::kFsSpklen, lcnt < 16 ? 1 : lcnt / 16);
    c.write(I2cController::kSdaHold,
            (c.read(I2cController::kSdaHold) & ~0xffffu) | (hold & 0xffffu));
    c.write(I2cController::kEnable, 1);
    return kClkSysHz / period;
}

// 0000xxx and 1111xxx are reserved addresses.
bool reservedAddress(uint8_t addr) {
    return (addr & 0x78) == 0 || (addr & 0x78) == 0x78;
}

} // namespace

uint i2c_init(i2c_inst_t* i2c, uint baudrate) {
    I2cController& c = block(i2c);
    c.resetBlock();
    i2c->restart_on_next = false;
    c.write(I2cController::kEnable, 0);
    c.write(I2cController::kCon, I2cController::kConSpeedFast | I2cController::kConMasterMode |
                                     I2cController::kConSlaveDisable |
                                     I2cController::kConRestartEn | I2cController::kConTxEmptyCtrl);
    c.write(I2cController::kTxTl, 0);
    c.write(I2cController::kRxTl, 0);
    c.write(I2cController::kDmaCr, 3);
    uint rate = setBaudrate(c, baudrate);
    preemptionPoint();
    return rate;
}

void i2c_deinit(i2c_inst_t* i2c) {
    block(i2c).resetBlock();
    preemptionPoint();
}

uint i2c_set_baudrate(i2c_inst_t* i2c, uint baudrate) {
    uint rate = setBaudrate(block(i2c), baudrate);
    preemptionPoint();
    return rate;
}

void i2c_set_slave_mode(i2c_inst_t* i2c, bool slave, uint8_t addr) {
    I2cController& c = block(i2c);
    if (addr >= 0x80 || (slave && reservedAddress(addr)))
        sim::HostChip::current().fail("i2c_set_slave_mode: address " + std::to_string(addr) +
                                      " is not a valid 7-bit slave address");
    constexpr uint32_t masterBits = I2cController::kConMasterMode | I2cController::kConSlaveDisable;
    constexpr uint32_t slaveBits = I2cController::kConRxFifoFullHoldCtrl;
    c.write(I2cController::kEnable, 0);
    uint32_t con = c.read(I2cController::kCon) & ~(masterBits | slaveBits);
    if (slave) {
        // The SDK's slave mode holds the bus while the receive FIFO is full.
        c.write(I2cController::kCon, con | slaveBits);
        c.write(I2cController::kSar, addr);
    } else {
        c.write(I2cController::kCon, con | masterBits);
    }
    c.write(I2cController::kEnable, 1);
    preemptionPoint();
}

uint i2c_hw_index(i2c_inst_t* i2c) {
    return i2c == &i2c1_inst ? 1u : 0u;
}

i2c_inst_t* i2c_get_instance(uint instance) {
    return instance ? &i2c1_inst : &i2c0_inst;
}

size_t i2c_get_write_available(i2c_inst_t* i2c) {
    size_t n = I2cController::kFifoDepth - block(i2c).read(I2cController::kTxflr);
    preemptionPoint();
    return n;
}

size_t i2c_get_read_available(i2c_inst_t* i2c) {
    size_t n = block(i2c).read(I2cController::kRxflr);
    preemptionPoint();
    return n;
}

uint8_t i2c_read_byte_raw(i2c_inst_t* i2c) {
    // No check, as on the chip: an empty FIFO reads 0 and raises RX_UNDER.
    uint8_t b = static_cast<uint8_t>(block(i2c).read(I2cController::kDataCmd) & 0xffu);
    preemptionPoint();
    return b;
}

void i2c_write_byte_raw(i2c_inst_t* i2c, uint8_t value) {
    // A full FIFO drops the byte and raises TX_OVER.
    block(i2c).write(I2cController::kDataCmd, value);
    preemptionPoint();
}
