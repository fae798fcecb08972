// The I2C block's register struct, as the SDK lays it out. The host has no
// memory behind the block, so each member is a register of the model: a read
// or a write of a member reaches the block of the chip whose code is running,
// at the member's offset in the struct, with the block's side effects.
#ifndef HARDWARE_STRUCTS_I2C_H
#define HARDWARE_STRUCTS_I2C_H

#include "hardware/regs/i2c.h"
#include "pico.h"

#ifdef __cplusplus

struct i2c_hw_register {
    // A read, as the processor makes it (clear-on-read registers clear).
    operator uint32_t() const;
    i2c_hw_register& operator=(uint32_t value);
    i2c_hw_register& operator=(const i2c_hw_register&) = delete;

    uint32_t width_; // never used: it gives the member the register's four bytes
};

typedef struct {
    i2c_hw_register con;                  // 0x00
    i2c_hw_register tar;                  // 0x04
    i2c_hw_register sar;                  // 0x08
    i2c_hw_register _pad0;                // 0x0c
    i2c_hw_register data_cmd;             // 0x10
    i2c_hw_register ss_scl_hcnt;          // 0x14
    i2c_hw_register ss_scl_lcnt;          // 0x18
    i2c_hw_register fs_scl_hcnt;          // 0x1c
    i2c_hw_register fs_scl_lcnt;          // 0x20
    i2c_hw_register _pad1[2];             // 0x24
    i2c_hw_register intr_stat;            // 0x2c
    i2c_hw_register intr_mask;            // 0x30
    i2c_hw_register raw_intr_stat;        // 0x34
    i2c_hw_register rx_tl;                // 0x38
    i2c_hw_register tx_tl;                // 0x3c
    i2c_hw_register clr_intr;             // 0x40
    i2c_hw_register clr_rx_under;         // 0x44
    i2c_hw_register clr_rx_over;          // 0x48
    i2c_hw_register clr_tx_over;          // 0x4c
    i2c_hw_register clr_rd_req;           // 0x50
    i2c_hw_register clr_tx_abrt;          // 0x54
    i2c_hw_register clr_rx_done;          // 0x58
    i2c_hw_register clr_activity;         // 0x5c
    i2c_hw_register clr_stop_det;         // 0x60
    i2c_hw_register clr_start_det;        // 0x64
    i2c_hw_register clr_gen_call;         // 0x68
    i2c_hw_register enable;               // 0x6c
    i2c_hw_register status;               // 0x70
    i2c_hw_register txflr;                // 0x74
    i2c_hw_register rxflr;                // 0x78
    i2c_hw_register sda_hold;             // 0x7c
    i2c_hw_register tx_abrt_source;       // 0x80
    i2c_hw_register slv_data_nack_only;   // 0x84
    i2c_hw_register dma_cr;               // 0x88
    i2c_hw_register dma_tdlr;             // 0x8c
    i2c_hw_register dma_rdlr;             // 0x90
    i2c_hw_register sda_setup;            // 0x94
    i2c_hw_register ack_general_call;     // 0x98
    i2c_hw_register enable_status;        // 0x9c
    i2c_hw_register fs_spklen;            // 0xa0
    i2c_hw_register _pad2;                // 0xa4
    i2c_hw_register clr_restart_det;      // 0xa8
} i2c_hw_t;

#endif // __cplusplus

#endif
