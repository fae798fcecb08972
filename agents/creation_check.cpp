#include "agents/creation_check.h"

#include "hardware/watchdog.h"
#include "pico/stdlib.h"

// Creation only fails when the heap is exhausted or corrupt at start-up. A
// board missing one of its own tasks, its queue or a timer would run as half a
// board (answering the bus while ignoring writes, or never answering while its
// LED claims a slot), so it is not allowed to run: the hardware watchdog is
// armed to 1 ms, far below any feeding period, and the reset brings every pin
// back to its reset state for a fresh start.
void requireCreated(bool created) {
    if (created) {
        return;
    }
    watchdog_enable(1, true);
    for (;;) {
        busy_wait_us(1000);
    }
}
