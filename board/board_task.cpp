#include "board/board_task.h"

#include <cstdio>

#include "agents/creation_check.h"
#include "board/slot.h"
#include "hardware/adc.h"
#include "twi/twi.h"

QueueHandle_t _g_boardEventQHandle = nullptr;

namespace {
constexpr uint8_t SLOT_ADC_PIN = 28;
constexpr uint8_t SLOT_ADC_INPUT = 2;
constexpr uint32_t SIDE_TASK_STACK = 256;
constexpr uint32_t BOARD_PRIORITY = 2;
constexpr uint32_t CORE_0 = 0x1;
} // namespace

BoardTask::BoardTask() {
    _eventQueue = xQueueCreate(BOARD_EVENT_QUEUE_LENGTH, sizeof(BoardEvent));
    _g_boardEventQHandle = _eventQueue;
    requireCreated(_eventQueue != nullptr && _heartbeatTimer.isCreated() && _imageObjectsCreated());
    // Last: the board task outranks MainTask and starts running at once.
    requireCreated(start("BoardTask", BOARD_PRIORITY, CORE_0, nullptr));
}

BoardTask::~BoardTask() {
    BoardTask::del();
}

bool BoardTask::sendEvent(BoardEvent event, uint32_t ticksToWait) {
    return _eventQueue != nullptr && xQueueSend(_eventQueue, &event, ticksToWait) == pdTRUE;
}

// The board task itself goes last, so that a del() made from the board task
// still ends everything else.
void BoardTask::del() {
    _deleteTask(_onboardLedTask);
    if (_eventQueue != nullptr) {
        _g_boardEventQHandle = nullptr;
        vQueueDelete(_eventQueue);
        _eventQueue = nullptr;
    }
    _delImage();
    TaskAgent::del();
}

void BoardTask::run(void*) {
    twiInit(this);
    _checkPos();
    _init();
    if (_addr != 0) {
        requireCreated(_twiTask.start(_addr));
    }
    for (;;) {
        BoardEvent event = 0;
        if (xQueueReceive(_eventQueue, &event, portMAX_DELAY) != pdTRUE) {
            puts("[WARN] [WARN] Fehler BoardTask::run() -- xQueueReceive() != pdTRUE");
            continue;
        }
        if (!_handleEvent(event)) {
            printf("[WARN] Unbekanntes event: %u\n", static_cast<unsigned>(boardEventCode(event)));
        }
    }
}

void BoardTask::_checkPos() {
    adc_init();
    adc_gpio_init(SLOT_ADC_PIN);
    adc_select_input(SLOT_ADC_INPUT);
    const uint16_t raw = settledSlotReading([] { return adc_read(); }, [] { vTaskDelay(1); });
    const SlotPosition slot = slotFromReading(raw);
    _pos = slot.pos;
    _addr = slot.addr;
}

void BoardTask::_startSideTask(TaskFunction_t body, const char* name, void* param,
                               TaskHandle_t* handle) {
    requireCreated(xTaskCreateAffinitySet(body, name, SIDE_TASK_STACK, param, BOARD_PRIORITY,
                                          CORE_0, handle) == pdPASS);
}

void BoardTask::_deleteTask(TaskHandle_t& handle) {
    if (handle != nullptr) {
        TaskHandle_t task = handle;
        handle = nullptr;
        vTaskDelete(task);
    }
}
