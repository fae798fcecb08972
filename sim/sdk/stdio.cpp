// pico_stdio. The SDK wraps printf, puts and putchar at link time (the
// images link with --wrap); the wrappers here put the text on the console of
// the chip that prints. Outside any chip (the test program or a tool) the
// text goes to the host's standard output.
#include "sdk/runtime.h"

#include "pico/stdio.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

using namespace sim;
using namespace sim::sdk;

namespace {

int formatTo(Chip& c, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return n;
    if (static_cast<std::size_t>(n) < sizeof small) {
        c.console.write(small, static_cast<std::size_t>(n));
    } else {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, args);
        c.console.write(big.data(), static_cast<std::size_t>(n));
    }
    return n;
}

} // namespace

extern "C" {

int __wrap_vprintf(const char* format, va_list args) {
    Chip* c = Chip::currentOrNull();
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
    Chip* c = Chip::currentOrNull();
    if (!c)
        return std::puts(s);
    std::size_t n = 0;
    while (s[n])
        ++n;
    c->console.write(s, n);
    c->console.write("\n", 1);
    done(*c);
    return static_cast<int>(n + 1);
}

int __wrap_putchar(int ch) {
    Chip* c = Chip::currentOrNull();
    if (!c)
        return std::putchar(ch);
    const char byte = static_cast<char>(ch);
    c->console.write(&byte, 1);
    done(*c);
    return static_cast<unsigned char>(byte);
}

bool stdio_init_all(void) {
    done(chip());
    return false;
}

void stdio_flush(void) {
    done(chip());
}

int getchar_timeout_us(uint32_t timeout_us) {
    busy_wait_us(timeout_us);
    return PICO_ERROR_TIMEOUT;
}

} // extern "C"
