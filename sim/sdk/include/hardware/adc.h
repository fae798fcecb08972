// The 12-bit ADC: inputs 0..3 on GPIO26..29, 4 the temperature sensor.
#ifndef _HARDWARE_ADC_H
#define _HARDWARE_ADC_H

#include "pico.h"

#ifdef __cplusplus
extern "C" {
#endif

void adc_init(void);
// Function NULL, no pulls, input buffer off: the pin is left to the ADC.
void adc_gpio_init(uint gpio);
void adc_select_input(uint input);
uint adc_get_selected_input(void);
void adc_set_round_robin(uint input_mask);
void adc_set_temp_sensor_enabled(bool enable);
// One conversion of the selected input (2 us).
uint16_t adc_read(void);

#ifdef __cplusplus
}
#endif

#endif
