// The real images of the rp2040 build on the chip: each boots through the
// ROM to the FreeRTOS scheduler, runs its own tasks on both cores and goes
// a whole simulated second without a fault. Which task runs where is read
// from the kernel's pxCurrentTCBs, as a debugger would.
#include "rp2040/rp2040.h"

#include "engine/event_queue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using sim::milliseconds;

class Boot : public ::testing::TestWithParam<const char*> {};

TEST_P(Boot, RunsItsTasksOnBothCoresForASecond) {
    const std::string path = std::string(ELF_IMAGE_DIR) + "/" + GetParam() + ".elf";

    sim::Simulation world;
    sim::rp2040::Rp2040 chip(world, GetParam(), path);
    ASSERT_TRUE(chip.rtos().present());
    // Every 37 us (out of step with the kernel's tick), the task each core runs.
    std::set<std::string> tasks[2];
    sim::CallbackEvent sample;
    sample.set([&] {
        for (int core = 0; core < 2; ++core) {
            if (auto name = chip.rtos().currentTask(core))
                tasks[core].insert(*name);
        }
        world.scheduleIn(sample, sim::microseconds(37));
    });
    world.schedule(sample, sim::microseconds(37));
    chip.powerOn();
    ASSERT_TRUE(world.runFor(milliseconds(1000))) << world.error();
    world.events().cancel(sample);

    EXPECT_EQ(chip.resets(), 0u);
    EXPECT_FALSE(chip.parked(1));
    for (int core = 0; core < 2; ++core) {
        EXPECT_NE(chip.rtos().currentTcb(core), 0u) << "core " << core;
        // Both idle tasks exist; each core has run something.
        EXPECT_FALSE(tasks[core].empty()) << "core " << core;
    }
    std::string seen;
    for (int core = 0; core < 2; ++core)
        for (const std::string& t : tasks[core])
            seen += " core" + std::to_string(core) + ":" + t;
    std::set<std::string> all(tasks[0]);
    all.insert(tasks[1].begin(), tasks[1].end());
    EXPECT_TRUE(all.count("IDLE0") && all.count("IDLE1")) << seen;
    // Each core ran tasks of the image besides the kernel's own.
    for (int core = 0; core < 2; ++core) {
        std::size_t own = 0;
        for (const std::string& t : tasks[core])
            own += t.rfind("IDLE", 0) != 0 && t != "Tmr Svc";
        EXPECT_GT(own, 0u) << "core " << core << ":" << seen;
    }
    RecordProperty("tasks", seen);
}

INSTANTIATE_TEST_SUITE_P(Images, Boot, ::testing::Values("valdor", "quillet", "brennic"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
