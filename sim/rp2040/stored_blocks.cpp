#include "rp2040/stored_blocks.h"

namespace sim::rp2040 {

StoredBlock sysinfoBlock() {
    StoredBlock b("SYSINFO");
    b.define(0x00, 0x20002927, 0).define(0x04, 0x2, 0).define(0x40, 0, 0);
    return b;
}

StoredBlock syscfgBlock() {
    StoredBlock b("SYSCFG");
    b.define(0x00).define(0x04).define(0x08, 0x10000000, 0xf0000000);
    b.define(0x0c, 0, 0x3fffffff).define(0x10, 0, 0x3f).define(0x14, 0x66, 0xff);
    b.define(0x18, 0, 0xff);
    return b;
}

StoredBlock tbmanBlock() {
    StoredBlock b("TBMAN");
    b.define(0x00, 0x1, 0);
    return b;
}

StoredBlock busctrlBlock() {
    StoredBlock b("BUSCTRL");
    b.define(0x00, 0, 0x1111).define(0x04, 0x1, 0);
    for (unsigned i = 0; i < 4; ++i)
        b.define(0x08 + 8 * i, 0, 0xffffff).define(0x0c + 8 * i, 0x1f, 0x1f);
    return b;
}

StoredBlock vregAndChipResetBlock() {
    StoredBlock b("VREG_AND_CHIP_RESET");
    b.define(0x00, 0xb1, 0xf3).define(0x04, 0x91, 0xf1).define(0x08, 0x100, 0);
    return b;
}

StoredBlock ioQspiBlock() {
    StoredBlock b("IO_QSPI");
    b.defineRange(0x00, 0x58 / 4, 4);
    return b;
}

StoredBlock padsQspiBlock() {
    StoredBlock b("PADS_QSPI");
    b.define(0x00, 0, 1);
    // SCLK, SD0..SD3, SS: drive 4 mA, input on, Schmitt; SS pulled up.
    b.define(0x04, 0x56).defineRange(0x08, 4, 4, 0x52).define(0x18, 0x5a);
    return b;
}

StoredBlock xipCtrlBlock() {
    StoredBlock b("XIP_CTRL");
    b.define(0x00, 0x3, 0xb).define(0x04).define(0x08, 0x3, 0).define(0x0c).define(0x10);
    b.define(0x14).define(0x18, 0, 0x3fffff).define(0x1c, 0, 0);
    return b;
}

StoredBlock ssiBlock() {
    StoredBlock b("SSI");
    b.defineRange(0x00, 0x28 / 4, 4);
    b.define(0x28, 0x6, 0); // SR: TFE | TFNF
    b.defineRange(0x2c, (0x58 - 0x2c) / 4, 4);
    b.define(0x58, 0x51535049, 0).define(0x5c, 0x3430312a, 0);
    b.defineRange(0x60, 36, 4).defineRange(0xf0, 4, 4);
    return b;
}

} // namespace sim::rp2040
