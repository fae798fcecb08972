// Bits of the I2C block's interrupt registers the firmware tests by name.
#ifndef _HARDWARE_REGS_I2C_H
#define _HARDWARE_REGS_I2C_H

// IC_RAW_INTR_STAT.RX_DONE: the master did not acknowledge a byte the slave sent.
#define I2C_IC_RAW_INTR_STAT_RX_DONE_BITS 0x00000080u

#endif
