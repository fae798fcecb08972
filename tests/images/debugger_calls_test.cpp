// A debugger's calls into the running firmware, as the fault tests make them:
// one that cannot be made reports failure and changes nothing; a busy task
// gets the priority and cores it was asked for, and goes again when deleted.
#include "link_bench.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace link_test {
namespace {

constexpr std::uint8_t kAddr = addressOfSlot(1);

class DebuggerCalls : public LinkTest {
protected:
    void SetUp() override {
        board_ = &insert("valdor", 1);
        start(milliseconds(30));
    }
    sim::Chip& chip() { return board_->chip(); }

    // Makes the call and runs until it has returned, which it must within a
    // millisecond; whether it succeeded.
    bool call(const std::function<void(sim::Chip::CallDone)>& start) {
        image_backend::CallResult result;
        start(result.callback());
        EXPECT_TRUE(image_backend::awaitReturn(result, [this](Time d) { runFor(d); }))
            << "the call was not made";
        return result.succeeded();
    }
    std::vector<std::string> taskNames() {
        std::vector<std::string> names;
        for (const sim::Chip::TaskInfo& t : chip().tasks())
            names.push_back(t.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    sim::Board* board_ = nullptr;
};

TEST_F(DebuggerCalls, ACallThatCannotBeMadeFailsAndChangesNothing) {
    const std::vector<std::string> tasks = taskNames();
    write(kAddr, 0x12, {0x00}); // the change line released: an event would pull it
    settle();
    const struct {
        const char* what;
        std::function<void(sim::Chip::CallDone)> start;
    } refused[] = {
        {"a queue the image does not have",
         [&](auto done) {
             chip().sendToQueue(0, "_g_noSuchQueue", {0x02, 0x0F}, done);
         }},
        {"an item of another size than the queue's",
         [&](auto done) { chip().sendToQueue(1, "_g_boardEventQHandle", {0x02}, done); }},
        {"a notification for no task",
         [&](auto done) { chip().notifyTask(0, "NoSuchTask", 1, done); }},
        {"the deletion of no task", [&](auto done) { chip().deleteTask(1, "NoSuchTask", done); }},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(call(r.start)) << r.what;
    runFor(milliseconds(5));
    EXPECT_EQ(taskNames(), tasks);
    EXPECT_TRUE(chip().gpio.level(board_->description().gpio(sim::PinUse::ChangeLine)));
    EXPECT_TRUE(chip().resetLog().empty());
    EXPECT_EQ(readOne(kAddr, 0x12), 0x00);
}

// Priority 1 on core 1: below the watchdog's tasks, above the idle task.
TEST_F(DebuggerCalls, ABusyTaskHasItsPriorityAndCoresUntilDeleted) {
    ASSERT_TRUE(call([&](auto done) { chip().addBusyTask(1, "Stall", 1, 0x2, done); }));
    const std::vector<sim::Chip::TaskInfo> tasks = chip().tasks();
    const auto stall = std::find_if(tasks.begin(), tasks.end(),
                                    [](const sim::Chip::TaskInfo& t) { return t.name == "Stall"; });
    ASSERT_NE(stall, tasks.end());
    EXPECT_EQ(stall->priority, 1u);
    EXPECT_EQ(stall->affinity, 0x2u);
    runFor(milliseconds(100));
    EXPECT_TRUE(chip().resetLog().empty()); // the watchdog's tasks run above it
    write(kAddr, 0x00, {0x5A});
    EXPECT_EQ(readOne(kAddr, 0x00), 0x5A);

    ASSERT_TRUE(call([&](auto done) { chip().deleteTask(0, "Stall", done); }));
    runFor(milliseconds(5)); // the idle task frees what it leaves
    const std::vector<std::string> names = taskNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Stall"), 0);
}

} // namespace
} // namespace link_test
