// The tasks each image creates, read from the kernel's task list as a
// debugger reads it once the board runs: name, priority and core affinity.
// A task created at the wrong priority or on the wrong core fails here.
#include "harness/bench.h"
#include "image_backend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace {

using sim::milliseconds;

using Placement = std::pair<unsigned, std::uint32_t>; // priority, affinity mask
using TaskTable = std::map<std::string, Placement>;

struct Image {
    const char* name;
    TaskTable tasks;
};

const TaskTable kCommon = {
    {"Watchdog-0", {2, 0x1}}, {"Watchdog-1", {2, 0x2}}, {"MainTask", {1, 0x1}},
    {"Tmr Svc", {31, 0x3}},   {"IDLE0", {0, 0x3}},      {"IDLE1", {0, 0x3}},
    {"BoardTask", {2, 0x1}},  {"OnboardLED", {2, 0x1}},
};

TaskTable with(TaskTable t, const TaskTable& more) {
    t.insert(more.begin(), more.end());
    return t;
}

const Image kImages[] = {
    {"valdor",
     with(kCommon, {{"StatusLEDs", {2, 0x1}}, {"AnalogRead", {2, 0x1}}, {"TWI-Task", {29, 0x2}}})},
    {"quillet", with(kCommon, {{"Thermo", {2, 0x1}}, {"TWI-Task", {29, 0x2}}})},
    // The test build has no host link: its select lines take the I2C pins.
    {"brennic", with(kCommon, {{"Thermo", {2, 0x1}}})},
};

class TaskPlacement : public ::testing::TestWithParam<Image> {};

TEST_P(TaskPlacement, EveryTaskHasThePriorityAndCoresItWasCreatedWith) {
    sim::Bench bench;
    sim::Board& board = bench.insert(0, GetParam().name, image_backend::imagePath(GetParam().name));
    bench.powerOn();
    ASSERT_TRUE(bench.run(milliseconds(50))) << bench.error();
    TaskTable seen;
    for (const sim::Chip::TaskInfo& t : board.chip().tasks())
        EXPECT_TRUE(seen.emplace(t.name, Placement{t.priority, t.affinity}).second) << t.name;
    EXPECT_EQ(seen, GetParam().tasks);
}

INSTANTIATE_TEST_SUITE_P(Images, TaskPlacement, ::testing::ValuesIn(kImages),
                         [](const ::testing::TestParamInfo<Image>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
