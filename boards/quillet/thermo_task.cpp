#include "boards/quillet/thermo_task.h"

#include <cstdint>

#include "FreeRTOS.h"
#include "boards/quillet/demux.h"
#include "boards/quillet/thermo.h"
#include "task.h"
#include "twi/regs_lock.h"

namespace {
constexpr uint8_t CHANNELS = 8;
constexpr uint8_t REG_THERMO1_LO = 0x80;
constexpr uint32_t START_DELAY_TICKS = 5;
constexpr uint32_t SCAN_PAUSE_TICKS = 200;
} // namespace

void thermoTask(void*) {
    Demux demux;
    demux.set(0);
    Thermo thermo(Thermo::THERMO_IC_12BIT);
    vTaskDelay(START_DELAY_TICKS);
    for (;;) {
        // Each converter is selected for exactly its own frame; the next
        // set() releases it in the same write that selects the next one.
        for (uint8_t k = 1; k <= CHANNELS; ++k) {
            demux.set(k);
            const uint16_t value = thermo.read();
            // Both bytes in one holding of the lock: a reader of the pair
            // never sees half of one reading.
            regsWrite16(static_cast<uint8_t>(REG_THERMO1_LO + 2 * (k - 1)), value);
        }
        demux.set(0);
        vTaskDelay(SCAN_PAUSE_TICKS);
    }
}
