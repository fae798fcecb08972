// Linked into an image whose build enables the UART console: the pins and
// rate of the board's default UART, as the image's build defines them.
#include "sdk/stdio_uart.h"

#ifndef PICO_DEFAULT_UART_TX_PIN
#define PICO_DEFAULT_UART_TX_PIN 0
#endif
#ifndef PICO_DEFAULT_UART_RX_PIN
#define PICO_DEFAULT_UART_RX_PIN 1
#endif
#ifndef PICO_DEFAULT_UART_BAUD_RATE
#define PICO_DEFAULT_UART_BAUD_RATE 115200
#endif

extern "C" {
extern const sim_stdio_uart_driver sim_stdio_uart;
const sim_stdio_uart_driver sim_stdio_uart = {PICO_DEFAULT_UART_TX_PIN, PICO_DEFAULT_UART_RX_PIN,
                                              PICO_DEFAULT_UART_BAUD_RATE};
}
