// A tiny firmware image for the loader and watchdog tests. It counts its
// boots in an initialised static and arms the watchdog, feeding it for the
// first 40 ms of every boot; then the chip resets 50 ms after the last feed.
#include "FreeRTOS.h"
#include "hardware/watchdog.h"
#include "pico/stdlib.h"
#include "task.h"

#include <cstdint>
#include <cstdio>

namespace {

int boots = 41;
std::uint64_t lastFeedUs = 0;

void feeder(void*) {
    watchdog_enable(50, true);
    lastFeedUs = time_us_64();
    while (time_us_64() < 40000) {
        vTaskDelay(10);
        watchdog_update();
        lastFeedUs = time_us_64();
    }
    for (;;)
        vTaskDelay(1000);
}

} // namespace

extern "C" int testImageBoots() {
    return boots;
}
extern "C" std::uint64_t testImageLastFeedUs() {
    return lastFeedUs;
}

int main() {
    ++boots;
    printf("boot %d\n", boots);
    xTaskCreateAffinitySet(feeder, "Feeder", 256, nullptr, 2, 0x1, nullptr);
    vTaskStartScheduler();
    return 0;
}
