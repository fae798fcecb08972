#include "boards/valdor/analog_read.h"

#include <cstdint>

#include "FreeRTOS.h"
#include "hardware/adc.h"
#include "task.h"
#include "twi/regs_lock.h"

namespace {
// GPIO of each analog input, in input order; ADC input = GPIO - 26.
constexpr uint8_t AIN_MAP[] = {26, 27};
// Low-byte register of each input's raw reading.
constexpr uint8_t REG_AIN0_LO = 0x70;
constexpr uint8_t REG_AIN1_LO = 0x72;
constexpr uint8_t AIN_REG[] = {REG_AIN0_LO, REG_AIN1_LO};
constexpr uint8_t ADC_FIRST_GPIO = 26;
constexpr TickType_t SAMPLE_PERIOD_TICKS = 20;
} // namespace

void aReadTask(void*) {
    for (uint8_t pin : AIN_MAP) {
        adc_gpio_init(pin);
    }
    for (;;) {
        // The ADC has no other user once start-up is done: no lock needed.
        for (uint32_t k = 0; k < sizeof(AIN_MAP); ++k) {
            adc_select_input(AIN_MAP[k] - ADC_FIRST_GPIO);
            regsWrite16(AIN_REG[k], adc_read());
        }
        vTaskDelay(SAMPLE_PERIOD_TICKS);
    }
}
