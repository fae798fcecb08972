#include "boards/quillet/demux.h"

#include <cstdio>

#include "hardware/gpio.h"

Demux::Demux() : _mask(LINES) {
    gpio_init_mask(_mask);
    gpio_set_dir_masked(_mask, _mask);
    gpio_put_masked(_mask, 0);
}

bool Demux::set(unsigned char out) {
    if (out > 8) {
        printf("[WARN] Demux::set() out muss <= 8 sein, nicht %hu\n",
               static_cast<unsigned short>(out));
        return false;
    }
    // Address and enable change in one write of the output toggle register,
    // so no other converter is selected on the way; the pins outside _mask
    // keep their levels.
    gpio_put_masked(_mask, out == 0 ? 0 : pattern(out));
    return true;
}
