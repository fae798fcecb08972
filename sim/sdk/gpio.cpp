// hardware_gpio on the IO bank, pads and SIO of the chip model.
#include "chip/gpio_access.h"
#include "sdk/runtime.h"

#include <string>

using namespace sim;
using namespace sim::sdk;
using namespace sim::bank0;

namespace {

int core(HostChip& c) {
    return c.currentCore() < 0 ? 0 : c.currentCore();
}

void sioWrite(HostChip& c, std::uint32_t offset, std::uint32_t value) {
    c.gpio.sio().write(offset, value);
}

void checkPin(HostChip& c, uint gpio) {
    if (gpio >= NUM_BANK0_GPIOS)
        c.failWith("GPIO " + std::to_string(gpio) + " does not exist");
}

// The callback dispatch the SDK installs as a shared handler of
// IO_IRQ_BANK0: every pending event of the calling core, acknowledged, then
// passed to that core's callback.
void gpioIrqHandler() {
    HostChip& c = chip();
    const int me = core(c);
    for (unsigned pin = 0; pin < NUM_BANK0_GPIOS; ++pin) {
        const std::uint32_t events = irqStatus(c.gpio, me, pin);
        if (!events)
            continue;
        acknowledge(c.gpio, pin, events);
        if (gpio_irq_callback_t cb = c.sdkRuntime().gpioCallbacks[static_cast<unsigned>(me)])
            cb(pin, events);
    }
}

} // namespace

extern "C" {

void gpio_set_function(uint gpio, enum gpio_function fn) {
    HostChip& c = chip();
    checkPin(c, gpio);
    setFunction(c.gpio, gpio, static_cast<unsigned>(fn));
    done(c);
}

enum gpio_function gpio_get_function(uint gpio) {
    HostChip& c = chip();
    checkPin(c, gpio);
    auto fn = static_cast<enum gpio_function>(c.gpio.ioBank().read(ctrlOffset(gpio)) & 0x1Fu);
    done(c);
    return fn;
}

void gpio_set_pulls(uint gpio, bool up, bool down) {
    HostChip& c = chip();
    checkPin(c, gpio);
    setPulls(c.gpio, gpio, up, down);
    done(c);
}

void gpio_pull_up(uint gpio) {
    gpio_set_pulls(gpio, true, false);
}
void gpio_pull_down(uint gpio) {
    gpio_set_pulls(gpio, false, true);
}
void gpio_disable_pulls(uint gpio) {
    gpio_set_pulls(gpio, false, false);
}

bool gpio_is_pulled_up(uint gpio) {
    HostChip& c = chip();
    checkPin(c, gpio);
    bool up = (c.gpio.pads().read(padOffset(gpio)) & Gpio::kPadPullUp) != 0;
    done(c);
    return up;
}

bool gpio_is_pulled_down(uint gpio) {
    HostChip& c = chip();
    checkPin(c, gpio);
    bool down = (c.gpio.pads().read(padOffset(gpio)) & Gpio::kPadPullDown) != 0;
    done(c);
    return down;
}

void gpio_set_input_enabled(uint gpio, bool enabled) {
    HostChip& c = chip();
    checkPin(c, gpio);
    setInputEnabled(c.gpio, gpio, enabled);
    done(c);
}

void gpio_init(uint gpio) {
    HostChip& c = chip();
    checkPin(c, gpio);
    sioWrite(c, Gpio::kSioOe + Gpio::kSioClr, 1u << gpio);
    sioWrite(c, Gpio::kSioOut + Gpio::kSioClr, 1u << gpio);
    setFunction(c.gpio, gpio, gpiofn::kSio);
    done(c);
}

void gpio_init_mask(uint gpio_mask) {
    HostChip& c = chip();
    for (unsigned pin = 0; pin < NUM_BANK0_GPIOS; ++pin) {
        if ((gpio_mask >> pin) & 1u) {
            sioWrite(c, Gpio::kSioOe + Gpio::kSioClr, 1u << pin);
            sioWrite(c, Gpio::kSioOut + Gpio::kSioClr, 1u << pin);
            setFunction(c.gpio, pin, gpiofn::kSio);
        }
    }
    done(c);
}

void gpio_deinit(uint gpio) {
    gpio_set_function(gpio, GPIO_FUNC_NULL);
}

void gpio_set_irq_enabled(uint gpio, uint32_t event_mask, bool enabled) {
    HostChip& c = chip();
    checkPin(c, gpio);
    // Stale edges would enter the handler at once: they are cleared first.
    acknowledge(c.gpio, gpio, event_mask);
    setIrqEnabled(c.gpio, core(c), gpio, event_mask, enabled);
    done(c);
}

void gpio_set_irq_callback(gpio_irq_callback_t callback) {
    HostChip& c = chip();
    gpio_irq_callback_t& slot = c.sdkRuntime().gpioCallbacks[static_cast<unsigned>(core(c))];
    if (slot && !callback)
        irq_remove_handler(IO_IRQ_BANK0, &gpioIrqHandler);
    else if (!slot && callback)
        irq_add_shared_handler(IO_IRQ_BANK0, &gpioIrqHandler,
                               PICO_SHARED_IRQ_HANDLER_LOWEST_ORDER_PRIORITY);
    slot = callback;
    done(c);
}

void gpio_set_irq_enabled_with_callback(uint gpio, uint32_t event_mask, bool enabled,
                                        gpio_irq_callback_t callback) {
    gpio_set_irq_enabled(gpio, event_mask, enabled);
    gpio_set_irq_callback(callback);
    if (enabled)
        irq_set_enabled(IO_IRQ_BANK0, true);
}

uint32_t gpio_get_irq_event_mask(uint gpio) {
    HostChip& c = chip();
    checkPin(c, gpio);
    std::uint32_t events = irqStatus(c.gpio, core(c), gpio);
    done(c);
    return events;
}

void gpio_acknowledge_irq(uint gpio, uint32_t event_mask) {
    HostChip& c = chip();
    checkPin(c, gpio);
    acknowledge(c.gpio, gpio, event_mask);
    done(c);
}

bool gpio_get(uint gpio) {
    HostChip& c = chip();
    checkPin(c, gpio);
    bool level = (c.gpio.sio().read(Gpio::kSioIn) >> gpio) & 1u;
    done(c);
    return level;
}

uint32_t gpio_get_all(void) {
    HostChip& c = chip();
    std::uint32_t levels = c.gpio.sio().read(Gpio::kSioIn);
    done(c);
    return levels;
}

void gpio_set_mask(uint32_t mask) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOut + Gpio::kSioSet, mask);
    done(c);
}

void gpio_clr_mask(uint32_t mask) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOut + Gpio::kSioClr, mask);
    done(c);
}

void gpio_xor_mask(uint32_t mask) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOut + Gpio::kSioXor, mask);
    done(c);
}

void gpio_put_masked(uint32_t mask, uint32_t value) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOut + Gpio::kSioXor, (c.gpio.sio().read(Gpio::kSioOut) ^ value) & mask);
    done(c);
}

void gpio_put_all(uint32_t value) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOut, value);
    done(c);
}

void gpio_put(uint gpio, bool value) {
    HostChip& c = chip();
    checkPin(c, gpio);
    if (value)
        sioWrite(c, Gpio::kSioOut + Gpio::kSioSet, 1u << gpio);
    else
        sioWrite(c, Gpio::kSioOut + Gpio::kSioClr, 1u << gpio);
    done(c);
}

bool gpio_get_out_level(uint gpio) {
    HostChip& c = chip();
    checkPin(c, gpio);
    bool high = (c.gpio.sio().read(Gpio::kSioOut) >> gpio) & 1u;
    done(c);
    return high;
}

void gpio_set_dir_out_masked(uint32_t mask) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOe + Gpio::kSioSet, mask);
    done(c);
}

void gpio_set_dir_in_masked(uint32_t mask) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOe + Gpio::kSioClr, mask);
    done(c);
}

void gpio_set_dir_masked(uint32_t mask, uint32_t value) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOe + Gpio::kSioXor, (c.gpio.sio().read(Gpio::kSioOe) ^ value) & mask);
    done(c);
}

void gpio_set_dir_all_bits(uint32_t values) {
    HostChip& c = chip();
    sioWrite(c, Gpio::kSioOe, values);
    done(c);
}

void gpio_set_dir(uint gpio, bool out) {
    HostChip& c = chip();
    checkPin(c, gpio);
    if (out)
        sioWrite(c, Gpio::kSioOe + Gpio::kSioSet, 1u << gpio);
    else
        sioWrite(c, Gpio::kSioOe + Gpio::kSioClr, 1u << gpio);
    done(c);
}

bool gpio_is_dir_out(uint gpio) {
    HostChip& c = chip();
    checkPin(c, gpio);
    bool out = (c.gpio.sio().read(Gpio::kSioOe) >> gpio) & 1u;
    done(c);
    return out;
}

uint gpio_get_dir(uint gpio) {
    return gpio_is_dir_out(gpio) ? GPIO_OUT : GPIO_IN;
}

} // extern "C"
