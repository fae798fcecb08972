// Slot position and I2C address from the backplane's slot-coding voltage.
#ifndef BOARD_SLOT_H
#define BOARD_SLOT_H

#include <cstdint>

struct SlotPosition {
    int8_t pos;   // 0..7, -1 = none
    uint8_t addr; // 0x20..0x27, 0 = none
};

// Classifies a raw 12-bit reading: bands of 512 counts, the top band being
// position 0; below 128 counts no board position is coded.
SlotPosition slotFromReading(uint16_t raw);

// Two consecutive readings agree when they differ by at most one count.
bool slotReadingsSettled(uint16_t previous, uint16_t current);

// Takes readings, with `pause` between two, until two in a row agree; the
// result is the earlier reading of that pair. A voltage that never settles
// keeps it sampling.
template <typename Read, typename Pause>
uint16_t settledSlotReading(Read read, Pause pause) {
    uint16_t previous = read();
    for (;;) {
        pause();
        const uint16_t current = read();
        if (slotReadingsSettled(previous, current)) {
            return previous;
        }
        previous = current;
    }
}

#endif
