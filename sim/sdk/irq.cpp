// hardware_irq: per-core enables, priorities, exclusive and shared handlers.
// The vector table is shared by both cores, as on the chip.
#include "sdk/runtime.h"

#include <algorithm>
#include <string>
#include <utility>

using namespace sim;
using namespace sim::sdk;

namespace {

void runShared(unsigned num) {
    // Copied: a handler may remove itself.
    std::vector<SharedIrqHandler> handlers = runtime().sharedHandlers[num];
    for (const SharedIrqHandler& h : handlers)
        h.handler();
}

template <unsigned N>
void sharedVector() {
    runShared(N);
}

template <unsigned... N>
constexpr std::array<IrqHandler, sizeof...(N)> makeVectors(std::integer_sequence<unsigned, N...>) {
    return {&sharedVector<N>...};
}

constexpr auto kSharedVectors = makeVectors(std::make_integer_sequence<unsigned, 32>{});

bool isShared(HostChip& c, uint num) {
    return c.irqHandler(num) == kSharedVectors[num];
}

void checkNum(HostChip& c, uint num) {
    if (num >= NUM_IRQS)
        c.failWith("interrupt number " + std::to_string(num) + " does not exist");
}

} // namespace

extern "C" {

void irq_set_enabled(uint num, bool enabled) {
    HostChip& c = chip();
    checkNum(c, num);
    c.setIrqEnabled(c.currentCore() < 0 ? 0 : c.currentCore(), num, enabled);
    done(c);
}

bool irq_is_enabled(uint num) {
    HostChip& c = chip();
    checkNum(c, num);
    bool enabled = c.irqEnabled(c.currentCore() < 0 ? 0 : c.currentCore(), num);
    done(c);
    return enabled;
}

void irq_set_mask_enabled(uint32_t mask, bool enabled) {
    HostChip& c = chip();
    for (unsigned num = 0; num < NUM_IRQS; ++num) {
        if ((mask >> num) & 1u)
            c.setIrqEnabled(c.currentCore() < 0 ? 0 : c.currentCore(), num, enabled);
    }
    done(c);
}

void irq_set_priority(uint num, uint8_t hardware_priority) {
    HostChip& c = chip();
    checkNum(c, num);
    // The Cortex-M0+ keeps the top two bits of the priority.
    c.setIrqPriority(num, static_cast<std::uint8_t>(hardware_priority & 0xC0u));
    done(c);
}

void irq_set_exclusive_handler(uint num, irq_handler_t handler) {
    HostChip& c = chip();
    checkNum(c, num);
    IrqHandler current = c.irqHandler(num);
    if (current && current != handler)
        c.failWith("interrupt " + std::to_string(num) + " already has a handler");
    c.setIrqHandler(num, handler);
    done(c);
}

irq_handler_t irq_get_exclusive_handler(uint num) {
    HostChip& c = chip();
    checkNum(c, num);
    IrqHandler h = c.irqHandler(num);
    return isShared(c, num) ? nullptr : h;
}

irq_handler_t irq_get_vtable_handler(uint num) {
    HostChip& c = chip();
    checkNum(c, num);
    return c.irqHandler(num);
}

void irq_add_shared_handler(uint num, irq_handler_t handler, uint8_t order_priority) {
    HostChip& c = chip();
    checkNum(c, num);
    IrqHandler current = c.irqHandler(num);
    if (current && !isShared(c, num))
        c.failWith("interrupt " + std::to_string(num) + " already has an exclusive handler");
    auto& list = c.sdkRuntime().sharedHandlers[num];
    // Higher order priority first; among equals, the one added first.
    auto at = std::find_if(list.begin(), list.end(),
                           [&](const SharedIrqHandler& h) { return h.order < order_priority; });
    list.insert(at, SharedIrqHandler{handler, order_priority});
    c.setIrqHandler(num, kSharedVectors[num]);
    done(c);
}

void irq_remove_handler(uint num, irq_handler_t handler) {
    HostChip& c = chip();
    checkNum(c, num);
    if (isShared(c, num)) {
        auto& list = c.sdkRuntime().sharedHandlers[num];
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const SharedIrqHandler& h) { return h.handler == handler; }),
                   list.end());
        if (list.empty())
            c.setIrqHandler(num, nullptr);
    } else if (c.irqHandler(num) == handler) {
        c.setIrqHandler(num, nullptr);
    }
    done(c);
}

bool irq_has_shared_handler(uint num) {
    HostChip& c = chip();
    checkNum(c, num);
    return isShared(c, num);
}

} // extern "C"
