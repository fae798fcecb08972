// Where a task's memory goes: a task deleted while it runs is freed by the
// idle task when it gets a core, one that is not running at once; and the
// heap holds what the chip leaves it, so a leak ends in a failed allocation.
#include "kernel_bench.h"

#include <cstddef>

using namespace sim;

namespace {

using TaskMemory = KernelBench;

// What a task of 256 words takes from the heap: its stack and its control
// block, each a block of the C library's allocator.
std::size_t taskChunks() {
    return Heap::chunkBytes(256 * 4) + Heap::chunkBytes(200);
}

TEST_F(TaskMemory, ASelfDeletedTaskIsFreedByTheIdleTaskNotAtOnce) {
    static std::size_t tasksAfterDelete;
    boot([this] {
        spawn("Quitter", 3, 0x1, [] {
            vTaskDelay(1);
            vTaskDelete(nullptr);
        });
        // Both cores stay busy until 5 ms: no idle task runs before then.
        for (UBaseType_t cores : {0x1u, 0x2u})
            spawn(cores == 0x1 ? "Busy0" : "Busy1", 2, cores, [] {
                busyUs(5000);
                tasksAfterDelete = uxTaskGetNumberOfTasks();
                for (;;)
                    vTaskDelay(portMAX_DELAY);
            });
    });
    run(milliseconds(1));
    const std::size_t before = chip.heap().chunkBytesInUse();
    run(microseconds(100));
    EXPECT_EQ(chip.scheduler().tasksWaitingCleanUp(), 1u);
    EXPECT_EQ(chip.heap().chunkBytesInUse(), before) << "freed before the idle task ran";
    run(milliseconds(5));
    EXPECT_EQ(chip.scheduler().tasksWaitingCleanUp(), 0u);
    EXPECT_EQ(chip.heap().chunkBytesInUse(), before - taskChunks());
    // The kernel counts the task until the idle task has freed it: 3 of
    // ours, 2 idle tasks and the timer service task.
    EXPECT_EQ(tasksAfterDelete, 6u);
}

TEST_F(TaskMemory, ATaskThatIsNotRunningIsFreedAtOnce) {
    static std::size_t freed;
    boot([this] {
        static TaskHandle_t sleeper = spawn("Sleeper", 1, 0x2, [] {
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
        spawn("Deleter", 2, 0x1, [] {
            vTaskDelay(1);
            const std::size_t before = bench().chip.heap().chunkBytesInUse();
            vTaskDelete(sleeper);
            freed = before - bench().chip.heap().chunkBytesInUse();
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    run(milliseconds(2));
    EXPECT_EQ(freed, taskChunks());
    EXPECT_EQ(chip.scheduler().tasksWaitingCleanUp(), 0u);
}

TEST_F(TaskMemory, ALeakEndsInAFailedAllocationAtTheEndOfTheHeap) {
    // A chip whose image leaves 64 KiB to the heap.
    constexpr std::size_t kHeap = 64 * 1024;
    constexpr std::size_t kBlock = 1000;
    static std::size_t leaked;
    static bool failed;
    static std::size_t inUseAtStart;
    static BaseType_t created;
    chip.heap().setCapacity(kHeap);
    boot([this] {
        spawn("Leaker", 1, 0x1, [] {
            inUseAtStart = bench().chip.heap().chunkBytesInUse();
            for (int i = 0; i < 1000 && !failed; ++i) {
                if (pvPortMalloc(kBlock))
                    ++leaked;
                else
                    failed = true;
            }
            created = xTaskCreate([](void*) {}, "Late", 256, nullptr, 1, nullptr);
            for (;;)
                vTaskDelay(portMAX_DELAY);
        });
    });
    run(milliseconds(1));
    ASSERT_TRUE(failed) << "the heap never ran out";
    EXPECT_EQ(leaked, (kHeap - inUseAtStart) / Heap::chunkBytes(kBlock));
    // A task's stack is larger than any block leaked: refused as well.
    EXPECT_EQ(created, errCOULD_NOT_ALLOCATE_REQUIRED_MEMORY);
    EXPECT_EQ(chip.heap().exhaustedAllocations(), 2u);
}

} // namespace
