// The members of i2c_get_hw()'s struct: their offset in the struct is the
// register's, and the block is I2C0 of the executing chip (I2C1 is not wired
// on any board).
#include "hardware/i2c.h"

#include "sdk/host_chip.h"

#include <cstddef>

namespace {

i2c_hw_t g_i2c0Registers;

static_assert(offsetof(i2c_hw_t, data_cmd) == 0x10, "register layout");
static_assert(offsetof(i2c_hw_t, intr_stat) == 0x2c, "register layout");
static_assert(offsetof(i2c_hw_t, ack_general_call) == 0x98, "register layout");
static_assert(offsetof(i2c_hw_t, clr_restart_det) == 0xa8, "register layout");

std::uint32_t offsetOf(const i2c_hw_register* reg) {
    return static_cast<std::uint32_t>(reinterpret_cast<const char*>(reg) -
                                      reinterpret_cast<const char*>(&g_i2c0Registers));
}

} // namespace

i2c_hw_register::operator uint32_t() const {
    return sim::HostChip::current().i2c0Block.read(offsetOf(this));
}

i2c_hw_register& i2c_hw_register::operator=(uint32_t value) {
    sim::HostChip::current().i2c0Block.write(offsetOf(this), value);
    return *this;
}

i2c_hw_t* i2c_get_hw(i2c_inst_t* i2c) {
    if (i2c != i2c0)
        sim::HostChip::current().fail("I2C1 is not part of the board: only i2c0 is modelled");
    return &g_i2c0Registers;
}
