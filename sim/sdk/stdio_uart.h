// The UART console driver an image's build may link in (pico_stdio_uart on
// the target): when an image carries it, stdio_init_all sets up its UART and
// standard output leaves the chip on the TX pin.
#pragma once

extern "C" {

struct sim_stdio_uart_driver {
    unsigned txPin;
    unsigned rxPin;
    unsigned baudRate;
};

// The symbol the image exports when its build enables the driver.
#define SIM_STDIO_UART_DRIVER "sim_stdio_uart"

} // extern "C"
