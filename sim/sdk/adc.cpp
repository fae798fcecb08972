// hardware_adc on the ADC model.
#include "sdk/runtime.h"

#include "hardware/adc.h"

#include <string>

using namespace sim;
using namespace sim::sdk;

extern "C" {

void adc_init(void) {
    Chip& c = chip();
    c.adc.reset();
    c.adc.setEnabled(true);
    done(c);
}

void adc_gpio_init(uint gpio) {
    Chip& c = chip();
    if (gpio < 26 || gpio > 29)
        c.failWith("GPIO " + std::to_string(gpio) + " has no ADC input");
    c.gpio.setFunction(gpio, gpiofn::kNull);
    c.gpio.setPulls(gpio, false, false);
    c.gpio.setInputEnabled(gpio, false);
    done(c);
}

void adc_select_input(uint input) {
    Chip& c = chip();
    if (input >= Adc::kInputs)
        c.failWith("ADC input " + std::to_string(input) + " does not exist");
    c.adc.select(input);
    done(c);
}

uint adc_get_selected_input(void) {
    Chip& c = chip();
    uint input = c.adc.selected();
    done(c);
    return input;
}

void adc_set_round_robin(uint input_mask) {
    Chip& c = chip();
    c.adc.setRoundRobin(input_mask);
    done(c);
}

void adc_set_temp_sensor_enabled(bool enable) {
    Chip& c = chip();
    c.adc.setTemperatureSensorEnabled(enable);
    done(c);
}

uint16_t adc_read(void) {
    Chip& c = chip();
    std::uint16_t value = c.adc.convert();
    done(c);
    return value;
}

} // extern "C"
