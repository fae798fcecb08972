// hardware_adc on the ADC model.
#include "chip/gpio_access.h"
#include "sdk/runtime.h"

#include "hardware/adc.h"

#include <cstdint>
#include <optional>
#include <string>

using namespace sim;
using namespace sim::sdk;
using namespace sim::bank0;

namespace {

// Read-modify-write of the bits in `mask` of CS.
void writeCs(Adc& a, std::uint32_t value, std::uint32_t mask) {
    a.write(Adc::kCs, (a.read(Adc::kCs) & ~mask) | (value & mask));
}

// The SDK spins on CS.READY; the model jumps to the end of the conversion.
void waitReady(HostChip& c, Adc& a) {
    if (std::optional<sim::Time> end = a.conversionEndsAt())
        c.busyWaitUntil(*end);
}

} // namespace

extern "C" {

void adc_init(void) {
    HostChip& c = chip();
    c.adc.reset();
    c.adc.write(Adc::kCs, Adc::kCsEn);
    waitReady(c, c.adc);
    done(c);
}

void adc_gpio_init(uint gpio) {
    HostChip& c = chip();
    if (gpio < 26 || gpio > 29)
        c.failWith("GPIO " + std::to_string(gpio) + " has no ADC input");
    setFunction(c.gpio, gpio, gpiofn::kNull);
    setPulls(c.gpio, gpio, false, false);
    setInputEnabled(c.gpio, gpio, false);
    done(c);
}

void adc_select_input(uint input) {
    HostChip& c = chip();
    if (input >= Adc::kInputs)
        c.failWith("ADC input " + std::to_string(input) + " does not exist");
    writeCs(c.adc, input << Adc::kCsAinselShift, 7u << Adc::kCsAinselShift);
    done(c);
}

uint adc_get_selected_input(void) {
    HostChip& c = chip();
    uint input = (c.adc.read(Adc::kCs) >> Adc::kCsAinselShift) & 7u;
    done(c);
    return input;
}

void adc_set_round_robin(uint input_mask) {
    HostChip& c = chip();
    writeCs(c.adc, input_mask << Adc::kCsRrobinShift, 0x1Fu << Adc::kCsRrobinShift);
    done(c);
}

void adc_set_temp_sensor_enabled(bool enable) {
    HostChip& c = chip();
    writeCs(c.adc, enable ? Adc::kCsTsEn : 0u, Adc::kCsTsEn);
    done(c);
}

// START_ONCE, then READY, then RESULT. A conversion still running (free
// running mode) ends first.
uint16_t adc_read(void) {
    HostChip& c = chip();
    Adc& a = c.adc;
    if ((a.read(Adc::kCs) & Adc::kCsEn) == 0)
        c.failWith("ADC read while the ADC is off (adc_init missing): it never becomes ready");
    waitReady(c, a);
    writeCs(a, Adc::kCsStartOnce, Adc::kCsStartOnce);
    waitReady(c, a);
    const auto value = static_cast<std::uint16_t>(a.read(Adc::kResult));
    done(c);
    return value;
}

} // extern "C"
