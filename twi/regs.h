// The register table: the board's whole data interface to the host, and the
// cursor that walks it in table order.
#ifndef TWI_REGS_H
#define TWI_REGS_H

#include <cstdint>

struct _reg_t {
    uint8_t addr;
    uint8_t value;
    uint8_t readOnly;
};
static_assert(sizeof(_reg_t) == 3, "a register entry is three bytes");

constexpr uint32_t REGS_COUNT = 38;

// Task code touches `value` only under critSecRegs; addr and readOnly never change.
extern _reg_t _regsArr[REGS_COUNT];

// Low byte of a 16-bit value the board publishes (input word, analog inputs,
// thermocouple channels); its high byte is the entry that follows it.
constexpr bool _isPublishedWordLow(uint8_t addr) {
    return addr == 0x12 || addr == 0x70 || addr == 0x72 ||
           (addr >= 0x80 && addr <= 0x8E && (addr & 1u) == 0);
}

// A cursor over the table. "Next" means the next entry in table order, not
// address + 1, wrapping from the last entry to the first. The methods are
// defined here so that the interrupt handler, which runs from RAM, gets them
// inlined instead of calling into flash.
class _Regs {
public:
    // First entry with this address, or null; the cursor does not move.
    static _reg_t* find(uint8_t address) {
        for (uint32_t i = 0; i < REGS_COUNT; ++i) {
            if (_regsArr[i].addr == address) {
                return &_regsArr[i];
            }
        }
        return nullptr;
    }

    // Moves the cursor to the entry with this address (or to the first entry
    // when there is none) and returns it, or null.
    _reg_t* at(uint8_t address) {
        for (uint32_t i = 0; i < REGS_COUNT; ++i) {
            if (_regsArr[i].addr == address) {
                _index = i;
                return &_regsArr[i];
            }
        }
        _index = 0;
        return nullptr;
    }

    // Moves the cursor on by one entry and returns it; never null.
    _reg_t* next() {
        _index = (_index + 1 < REGS_COUNT) ? _index + 1 : 0;
        return &_regsArr[_index];
    }

    // Moves the cursor back by one entry and returns it; never null.
    _reg_t* prev() {
        _index = (_index != 0) ? _index - 1 : REGS_COUNT - 1;
        return &_regsArr[_index];
    }

private:
    uint32_t _index = 0;
};

#endif
