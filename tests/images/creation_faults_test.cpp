// A task, queue or timer that cannot be created at start-up: the board does
// not run as half a board, it resets (through the hardware watchdog) and
// comes up whole on the next start. Every allocation of the start-up is made
// to fail once, one at a time.
#include "link_bench.h"

#include <string>

namespace link_test {
namespace {

class CreationFaults : public LinkTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CreationFaults, EachFailedAllocationEndsInOneResetAndAWholeBoard) {
    const std::string image = GetParam();
    unsigned failedAt = 0;
    // Allocation 0 is the RTOS port's own event group, made before main.
    for (unsigned skip = 1;; ++skip) {
        sim::Bench bench;
        sim::Board& board = bench.insert(0, image, imagePath(image));
        board.chip().allocationFaults().failAllocations(1, skip);
        bench.powerOn();
        ASSERT_TRUE(bench.runUntil(milliseconds(60) + 2 * kStartUp)) << bench.error();
        if (board.chip().allocationFaults().failedAllocations() == 0)
            break; // the start-up makes fewer allocations than that
        failedAt = skip;
        const auto& resets = board.chip().resetLog();
        ASSERT_EQ(resets.size(), 1u) << "allocation " << skip;
        EXPECT_EQ(resets[0].cause, "watchdog timeout");

        // The second start has its full heap: the board is whole, its LED
        // starts its code as after power-on (the real binary's boot code
        // first).
        const Time restarted = resets[0].at;
        Time ledOn = 0;
        for (const sim::Record& r : bench.recorder().select("pin", board.name())) {
            if (r.at >= restarted && r.text().rfind("GPIO25=1", 0) == 0) {
                ledOn = r.at;
                break;
            }
        }
        EXPECT_GE(ledOn, restarted + kLinkUp) << "allocation " << skip;
        EXPECT_LE(ledOn, restarted + kLinkUp + kStartUp) << "allocation " << skip;
        if (image != "brennic") {
            I2cTransferRecord r = bench.i2c({I2cMessage::write(addressOfSlot(0), {0xFD}),
                                             I2cMessage::readBytes(addressOfSlot(0), 2)});
            ASSERT_FALSE(r.nacked()) << "allocation " << skip;
            EXPECT_EQ(r.messages[1].bytes[1], image == "valdor" ? 0x58 : 0x42);
        }
    }
    // Two watchdog tasks, MainTask, the scheduler's own objects, the event
    // queue, the timers, the board task and its side tasks, TWI-Task: each
    // task takes two allocations (stack and control block).
    EXPECT_GE(failedAt, 20u);
}

// quillet starts up as valdor does, with one side task less; brennic has its
// own main task and set-up.
INSTANTIATE_TEST_SUITE_P(Images, CreationFaults, ::testing::Values("valdor", "brennic"));

} // namespace
} // namespace link_test
