// pico_stdio. The SDK wraps printf, puts and putchar at link time (the
// images link with --wrap); the wrappers here put the text out on the chip
// that prints. An image whose build links the UART console driver sends it
// on UART0 as the SDK's stdio does: CR before LF, each character written as
// uart_putc writes it, spinning while the transmit FIFO is full; the chip's
// console then gets the characters from the UART as they leave the pin.
// Without a driver the text is dropped on silicon; here it goes to the
// chip's console at once, so that tests still see the messages. Outside any
// chip (the test program or a tool) the text goes to the host's standard
// output.
#include "sdk/runtime.h"
#include "sdk/stdio_uart.h"

#include "pico/stdio.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

using namespace sim;
using namespace sim::sdk;

namespace {

// clk_peri runs from clk_sys, which the SDK sets to 125 MHz at start-up.
constexpr std::uint32_t kClkPeriHz = 125000000;

// uart_init on UART0: the block reset, the divisor for `baud` (latched by an
// LCR_H write), 8N1, FIFOs on, then the UART enabled with TX and RX.
void uartInit(Uart& u, std::uint32_t baud) {
    u.reset();
    const std::uint32_t div = 8 * kClkPeriHz / baud;
    std::uint32_t ibrd = div >> 7;
    std::uint32_t fbrd = ((div & 0x7fu) + 1) / 2;
    if (ibrd == 0) {
        ibrd = 1;
        fbrd = 0;
    } else if (ibrd >= 65535) {
        ibrd = 65535;
        fbrd = 0;
    }
    u.write(Uart::kIbrd, ibrd);
    u.write(Uart::kFbrd, fbrd);
    u.write(Uart::kLcrH, u.peek(Uart::kLcrH));
    const std::uint32_t format =
        Uart::kLcrPen | Uart::kLcrEps | Uart::kLcrStp2 | (3u << Uart::kLcrWlenShift);
    u.write(Uart::kLcrH, (u.peek(Uart::kLcrH) & ~format) | (3u << Uart::kLcrWlenShift));
    u.write(Uart::kLcrH, u.peek(Uart::kLcrH) | Uart::kLcrFen);
    u.write(Uart::kCr, Uart::kCrUarten | Uart::kCrTxe | Uart::kCrRxe);
    u.write(Uart::kDmaCr, 3);
}

void uartPutc(HostChip& c, char ch) {
    Uart& u = c.uart0;
    u.catchUp();
    while (u.peek(Uart::kFr) & Uart::kFrTxff) {
        if (u.characterEnd() == kNever)
            c.failWith("the console UART sends nothing: printing would spin for ever");
        c.busyWaitUntil(u.characterEnd());
        u.catchUp();
    }
    u.write(Uart::kDr, static_cast<unsigned char>(ch));
}

void writeOut(HostChip& c, const char* text, std::size_t length) {
    Runtime& rt = c.sdkRuntime();
    if (!rt.stdioUart) {
        c.console.write(text, length);
        return;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\n' && !rt.stdioEndedWithCr)
            uartPutc(c, '\r');
        uartPutc(c, text[i]);
        rt.stdioEndedWithCr = text[i] == '\r';
    }
}

int formatTo(HostChip& c, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return n;
    if (static_cast<std::size_t>(n) < sizeof small) {
        writeOut(c, small, static_cast<std::size_t>(n));
    } else {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, args);
        writeOut(c, big.data(), static_cast<std::size_t>(n));
    }
    return n;
}

} // namespace

extern "C" {

int __wrap_vprintf(const char* format, va_list args) {
    HostChip* c = HostChip::currentOrNull();
    if (!c)
        return std::vprintf(format, args);
    int n = formatTo(*c, format, args);
    done(*c);
    return n;
}

int __wrap_printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = __wrap_vprintf(format, args);
    va_end(args);
    return n;
}

int __wrap_puts(const char* s) {
    HostChip* c = HostChip::currentOrNull();
    if (!c)
        return std::puts(s);
    std::size_t n = 0;
    while (s[n])
        ++n;
    writeOut(*c, s, n);
    writeOut(*c, "\n", 1);
    done(*c);
    return static_cast<int>(n + 1);
}

int __wrap_putchar(int ch) {
    HostChip* c = HostChip::currentOrNull();
    if (!c)
        return std::putchar(ch);
    const char byte = static_cast<char>(ch);
    writeOut(*c, &byte, 1);
    done(*c);
    return static_cast<unsigned char>(byte);
}

bool stdio_init_all(void) {
    HostChip& c = chip();
    const auto* driver =
        c.image()
            ? static_cast<const sim_stdio_uart_driver*>(c.image()->symbol(SIM_STDIO_UART_DRIVER))
            : nullptr;
    if (!driver) {
        done(c);
        return false;
    }
    gpio_set_function(driver->txPin, GPIO_FUNC_UART);
    gpio_set_function(driver->rxPin, GPIO_FUNC_UART);
    uartInit(c.uart0, driver->baudRate);
    c.sdkRuntime().stdioUart = true;
    done(c);
    return true;
}

void stdio_flush(void) {
    done(chip());
}

int getchar_timeout_us(uint32_t timeout_us) {
    busy_wait_us(timeout_us);
    return PICO_ERROR_TIMEOUT;
}

} // extern "C"
