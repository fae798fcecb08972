#include "twi/regs_lock.h"

#include "twi/regs.h"

critical_section_t critSecRegs;

uint16_t regsRead16(uint8_t addr) {
    _Regs regs;
    uint16_t value = 0;
    critical_section_enter_blocking(&critSecRegs);
    if (const _reg_t* lo = regs.at(addr)) {
        const _reg_t* hi = regs.next();
        value = static_cast<uint16_t>(lo->value | (hi->value << 8));
    }
    critical_section_exit(&critSecRegs);
    return value;
}

void regsWrite16(uint8_t addr, uint16_t value) {
    _Regs regs;
    critical_section_enter_blocking(&critSecRegs);
    if (_reg_t* lo = regs.at(addr)) {
        lo->value = static_cast<uint8_t>(value & 0xFF);
        regs.next()->value = static_cast<uint8_t>(value >> 8);
    }
    critical_section_exit(&critSecRegs);
}
