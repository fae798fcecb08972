// pico_platform: the core number, polling loops, cycle busy-waits and panic.
#include "sdk/runtime.h"

#include <cstdarg>
#include <cstdio>

using namespace sim;
using namespace sim::sdk;

extern "C" {

void tight_loop_contents(void) {
    chip().poll();
}

uint get_core_num(void) {
    HostChip& c = chip();
    return c.currentCore() < 0 ? 0u : static_cast<uint>(c.currentCore());
}

void busy_wait_at_least_cycles(uint32_t minimum_cycles) {
    HostChip& c = chip();
    c.busyWaitFor(Time{minimum_cycles} * Spi::kPeripheralClockPeriod);
    done(c);
}

// The message goes to the console; then the core stops for good with its
// interrupts masked, as in the breakpoint loop of a panicking chip, until the
// watchdog or a power cycle resets it.
void panic(const char* fmt, ...) {
    HostChip& c = chip();
    const char banner[] = "\n*** PANIC ***\n";
    c.console.write(banner, sizeof banner - 1);
    if (fmt) {
        va_list args;
        va_start(args, fmt);
        char text[256];
        int n = std::vsnprintf(text, sizeof text, fmt, args);
        va_end(args);
        if (n > 0)
            c.console.write(text, static_cast<std::size_t>(n) < sizeof text ? n : sizeof text - 1);
        c.console.write("\n", 1);
    }
    c.trace("panic on core " + std::to_string(c.currentCore()));
    c.saveAndDisableInterrupts();
    for (;;)
        c.busyWaitUntil(kNever);
}

void panic_unsupported(void) {
    panic("not supported");
}

} // extern "C"
