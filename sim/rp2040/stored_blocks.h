// The blocks that only keep what the firmware writes, each with its
// registers and reset values: identification (SYSINFO, TBMAN), system
// configuration (SYSCFG, BUSCTRL), the regulator and chip-reset status, and
// the flash interface (XIP_CTRL, SSI, IO_QSPI, PADS_QSPI), which has nothing
// to do here since flash is plain memory.
#pragma once

#include "rp2040/stored_block.h"

namespace sim::rp2040 {

// CHIP_ID of a B2 chip (revision 2, part 2, manufacturer 0x927), PLATFORM
// says ASIC. Read-only.
StoredBlock sysinfoBlock();
StoredBlock syscfgBlock();
// PLATFORM says ASIC. Read-only.
StoredBlock tbmanBlock();
// BUS_PRIORITY_ACK reads 1: a new priority takes effect at once.
StoredBlock busctrlBlock();
// CHIP_RESET says the last reset came from power-on.
StoredBlock vregAndChipResetBlock();
StoredBlock ioQspiBlock();
StoredBlock padsQspiBlock();
// STAT: flush done, stream FIFO empty.
StoredBlock xipCtrlBlock();
// SR: transmit FIFO empty and not full, idle.
StoredBlock ssiBlock();

} // namespace sim::rp2040
