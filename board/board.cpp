#include "board/board.h"

#include <cstdint>

#include "FreeRTOS.h"
#include "board/board_task.h"
#include "board/onboard_blink.h"
#include "hardware/gpio.h"
#include "queue.h"
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

void gpioCallback(unsigned int gpio, uint32_t) {
    QueueHandle_t queue = _g_boardEventQHandle;
    if (queue == nullptr) {
        return; // no board yet: the edge is dropped
    }
    const BoardEvent event = makeBoardEvent(EV_GPIO_EDGE, static_cast<uint8_t>(gpio));
    BaseType_t woken = pdFALSE;
    // A full queue drops the edge; the next edge or window end publishes.
    xQueueSendFromISR(queue, &event, &woken);
    portYIELD_FROM_ISR(woken);
}
