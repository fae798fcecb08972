#include "fake_sdk.h"

#include <cstdarg>
#include <cstdio>

#include "hardware/gpio.h"
#include "hardware/spi.h"

namespace fake_sdk {

State& state() {
    static State s;
    return s;
}

void reset() {
    state() = State{};
}

} // namespace fake_sdk

using fake_sdk::state;

extern "C" {

void gpio_init_mask(uint mask) {
    state().sio |= mask;
    state().dir &= ~mask;
    state().out &= ~mask;
}

void gpio_set_dir_masked(uint32_t mask, uint32_t value) {
    state().dir = (state().dir & ~mask) | (value & mask);
}

// One write of the toggle register: the masked bits change together.
void gpio_put_masked(uint32_t mask, uint32_t value) {
    state().out ^= (state().out ^ value) & mask;
    state().outWrites.push_back(state().out);
}

int spi_read16_blocking(spi_inst_t* spi, uint16_t repeated_tx_data, uint16_t* dst, size_t len) {
    ++state().spiCalls;
    state().lastSpi = spi;
    for (size_t i = 0; i < len; ++i) {
        state().sent.push_back(repeated_tx_data);
        uint16_t frame = 0;
        if (!state().frames.empty()) {
            frame = state().frames.front();
            state().frames.pop_front();
        }
        dst[i] = frame;
    }
    return static_cast<int>(len);
}

int __wrap_printf(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    state().console += text;
    return n;
}

int __wrap_puts(const char* text) {
    state().console += text;
    state().console += '\n';
    return 1;
}

} // extern "C"
