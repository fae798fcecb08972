// How fast the simulation kernel runs a mix like a real board: six tasks
// waking every 10 to 2000 ms on both cores, a software timer every 500 ms,
// for one simulated hour. Prints simulated seconds per wall-clock second.
#include "built_images.h"
#include "bus_load.h"
#include "kernel/processor.h"

#include "FreeRTOS.h"
#include "queue.h"
#include "task.h"
#include "timers.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Worker {
    const char* name;
    TickType_t period;
    UBaseType_t affinity;
    UBaseType_t priority;
};

const Worker kWorkers[] = {
    {"Watchdog-0", 26, 0x1, 2}, {"Watchdog-1", 26, 0x2, 2}, {"AnalogRead", 20, 0x1, 2},
    {"StatusLEDs", 10, 0x1, 2}, {"Thermo", 200, 0x1, 2},    {"MainTask", 2000, 0x1, 1},
};

QueueHandle_t g_events;
unsigned long g_wakeups = 0;
unsigned long g_timerRuns = 0;

void worker(void* arg) {
    const Worker* w = static_cast<const Worker*>(arg);
    for (;;) {
        vTaskDelay(w->period);
        ++g_wakeups;
        std::uint16_t event = 4;
        xQueueSend(g_events, &event, 0);
    }
}

void boardTask(void*) {
    for (;;) {
        std::uint16_t event;
        xQueueReceive(g_events, &event, portMAX_DELAY);
    }
}

} // namespace

// kernel_bench [SECONDS]        the task mix alone (default one hour)
// kernel_bench --bus [SECONDS]  a valdor board under continuous host traffic (default 60 s)
int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bus") == 0)
        return runBusLoad(kValdorModule, argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 60);
    const std::uint64_t simulatedSeconds = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 3600;
    sim::Simulation sim;
    sim::Processor chip(sim, "bench");
    chip.setEntry([] {
        g_events = xQueueCreate(250, 2);
        for (const Worker& w : kWorkers)
            xTaskCreateAffinitySet(worker, w.name, 256, const_cast<Worker*>(&w), w.priority,
                                   w.affinity, nullptr);
        xTaskCreateAffinitySet(boardTask, "BoardTask", 256, nullptr, 2, 0x1, nullptr);
        TimerHandle_t t = xTimerCreate("HeartbeatTimer", 500, pdTRUE, nullptr,
                                       [](TimerHandle_t) { ++g_timerRuns; });
        xTimerStart(t, 0);
        vTaskStartScheduler();
        return 0;
    });
    chip.powerOn();

    auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    bool ok = sim.runFor(sim::seconds(simulatedSeconds));
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // CPU time as well: the wall clock also counts whatever else the machine runs.
    double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!ok) {
        std::fprintf(stderr, "kernel_bench: %s\n", sim.error().c_str());
        return 1;
    }
    std::printf("simulated %llu s in %.3f s wall, %.3f s CPU: %.0f simulated seconds per wall "
                "second, %.0f per CPU second\n",
                static_cast<unsigned long long>(simulatedSeconds), wall, cpu,
                static_cast<double>(simulatedSeconds) / wall,
                static_cast<double>(simulatedSeconds) / cpu);
    std::printf("task wake-ups %lu, timer expiries %lu, ticks %u\n", g_wakeups, g_timerRuns,
                static_cast<unsigned>(chip.scheduler().tickCount()));
    return 0;
}
