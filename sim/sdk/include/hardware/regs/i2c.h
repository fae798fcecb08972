// Bits of the I2C block's registers the firmware tests by name.
#ifndef _HARDWARE_REGS_I2C_H
#define _HARDWARE_REGS_I2C_H

// IC_RAW_INTR_STAT.RX_DONE: the master did not acknowledge a byte the slave sent.
#define I2C_IC_RAW_INTR_STAT_RX_DONE_BITS 0x00000080u
// IC_RAW_INTR_STAT.TX_ABRT and its mask bit: a transmit abort.
#define I2C_IC_RAW_INTR_STAT_TX_ABRT_BITS 0x00000040u
#define I2C_IC_INTR_MASK_M_TX_ABRT_BITS 0x00000040u
// IC_TX_ABRT_SOURCE.TX_FLUSH_CNT: the bytes the abort flushed from the transmit FIFO.
#define I2C_IC_TX_ABRT_SOURCE_TX_FLUSH_CNT_BITS 0xff800000u
#define I2C_IC_TX_ABRT_SOURCE_TX_FLUSH_CNT_LSB 23u
// IC_RAW_INTR_STAT.STOP_DET and START_DET: a STOP, a START or repeated START on the bus.
#define I2C_IC_RAW_INTR_STAT_STOP_DET_BITS 0x00000200u
#define I2C_IC_RAW_INTR_STAT_START_DET_BITS 0x00000400u
// IC_STATUS.SLV_ACTIVITY: the slave is addressed in a transfer.
#define I2C_IC_STATUS_SLV_ACTIVITY_BITS 0x00000040u
// IC_DATA_CMD.FIRST_DATA_BYTE, as read: the first byte received after an address phase.
#define I2C_IC_DATA_CMD_FIRST_DATA_BYTE_BITS 0x00000800u

#endif
