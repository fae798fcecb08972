// The hand-off race: the client writes a request, notifies the worker on the
// other core, and reads the answer on its next line. The plain schedule runs
// the woken worker before that line; the chip does not promise it.
#include "fixtures.h"

#include "FreeRTOS.h"
#include "task.h"

namespace {

constexpr std::uint32_t kRounds = 50;

volatile std::uint32_t g_request;
volatile std::uint32_t g_answer;
volatile std::uint32_t g_rounds;
volatile std::uint32_t g_stale;
TaskHandle_t g_worker;

std::uint32_t answerTo(std::uint32_t request) {
    return request * 3u + 1u;
}

void workerTask(void*) {
    for (;;) {
        ulTaskNotifyTake(pdTRUE, portMAX_DELAY);
        g_answer = answerTo(g_request);
    }
}

void clientTask(void*) {
    for (std::uint32_t i = 1; i <= kRounds; ++i) {
        g_request = i;
        xTaskNotifyGive(g_worker);
        if (g_answer != answerTo(i))
            g_stale = g_stale + 1;
        g_rounds = g_rounds + 1;
        vTaskDelay(1);
    }
    for (;;)
        vTaskDelay(portMAX_DELAY);
}

} // namespace

int handoffFixtureMain() {
    g_request = 0;
    g_answer = 0;
    g_rounds = 0;
    g_stale = 0;
    xTaskCreateAffinitySet(workerTask, "Worker", 256, nullptr, 2, 0x2, &g_worker);
    xTaskCreateAffinitySet(clientTask, "Client", 256, nullptr, 1, 0x1, nullptr);
    vTaskStartScheduler();
    return 0;
}

HandoffResult handoffFixtureResult() {
    return {g_rounds, g_stale};
}
