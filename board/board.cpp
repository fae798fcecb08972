#include "board/board.h"

#include <cstdint>

#include "FreeRTOS.h"
#include "board/board_task.h"
#include "board/onboard_blink.h"
#include "hardware/gpio.h"
#include "task.h"

namespace {
constexpr uint8_t ONBOARD_LED_PIN = 25;
} // namespace

void ledOnboardTask(void* parameter) {
    const BoardTask* board = static_cast<const BoardTask*>(parameter);
    gpio_init(ONBOARD_LED_PIN);
    gpio_set_dir(ONBOARD_LED_PIN, GPIO_OUT);
    OnboardBlink blink;
    for (;;) {
        const uint32_t ticks = blink.step(board->getPos());
        gpio_put(ONBOARD_LED_PIN, blink.ledOn());
        vTaskDelay(ticks);
    }
}
