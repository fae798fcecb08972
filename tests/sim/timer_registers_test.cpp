// The timer as the bus fabric reaches it: the latched and raw
// reads of the count, setting the count, alarms firing at the exact tick,
// disarming, pausing, and the interrupt registers with their lines.
#include "chip_bench.h"

namespace {

using sim::nanoseconds;
using T = sim::Timer;

class TimerRegistersTest : public ChipBench {
protected:
    void runTo(sim::Time t) { ASSERT_TRUE(sim.runUntil(t)); }
    sim::RegisterBlock& timer = chip.timer;
};

TEST_F(TimerRegistersTest, TimeReadsRawOrWithTheHighWordLatched) {
    runTo(nanoseconds(5500));
    EXPECT_EQ(timer.read(T::kTimeRawL), 5u);
    EXPECT_EQ(timer.read(T::kTimeRawH), 0u);

    // The count set to just below a carry into the high word.
    timer.write(T::kTimeLw, 0xFFFFFFFE);
    EXPECT_EQ(timer.read(T::kTimeRawL), 5u); // nothing until TIMEHW
    timer.write(T::kTimeHw, 1);
    EXPECT_EQ(chip.timer.microseconds(), 0x1FFFFFFFEu);
    EXPECT_EQ(timer.peek(T::kTimeLr), 0xFFFFFFFEu);
    EXPECT_EQ(timer.peek(T::kTimeHr), 0u); // peek latches nothing
    EXPECT_EQ(timer.read(T::kTimeLr), 0xFFFFFFFEu);
    runTo(nanoseconds(8500)); // three ticks later the high word has moved on
    EXPECT_EQ(timer.read(T::kTimeRawH), 2u);
    EXPECT_EQ(timer.read(T::kTimeRawL), 1u);
    EXPECT_EQ(timer.read(T::kTimeHr), 1u);
    EXPECT_EQ(timer.read(T::kTimeLr), 1u);
    EXPECT_EQ(timer.read(T::kTimeHr), 2u);
}

TEST_F(TimerRegistersTest, AnAlarmFiresOnItsTickAndItsInterruptIsWriteOneToClear) {
    runTo(nanoseconds(2300));
    timer.write(T::kInte, 0x1);
    timer.write(T::kAlarm0, 10);
    EXPECT_EQ(timer.read(T::kAlarm0), 10u);
    EXPECT_EQ(timer.read(T::kArmed), 0x1u);
    runTo(nanoseconds(9999));
    EXPECT_EQ(timer.read(T::kIntr), 0u);
    EXPECT_FALSE(chip.irqLine(0));
    runTo(nanoseconds(10000));
    EXPECT_EQ(timer.read(T::kArmed), 0u);
    EXPECT_EQ(timer.read(T::kIntr), 0x1u);
    EXPECT_EQ(timer.read(T::kInts), 0x1u);
    EXPECT_TRUE(chip.irqLine(0));
    timer.write(T::kIntr, 0x1);
    EXPECT_EQ(timer.read(T::kIntr), 0u);
    EXPECT_FALSE(chip.irqLine(0));
    // A force raises the line on its own, enabled or not.
    timer.write(T::kIntf, 0x4);
    EXPECT_EQ(timer.read(T::kInts), 0x4u);
    EXPECT_TRUE(chip.irqLine(2));
    timer.write(T::kIntf, 0);
    EXPECT_FALSE(chip.irqLine(2));
}

TEST_F(TimerRegistersTest, DisarmSetTimeAndPauseMoveTheAlarms) {
    // Alarm 1 disarmed before its tick never fires.
    timer.write(T::kAlarm0 + 4, 3);
    timer.write(T::kArmed, 0x2);
    EXPECT_EQ(timer.read(T::kArmed), 0u);
    // Alarm 2 at 100, then the count is set to 95: it fires 5 us later.
    timer.write(T::kAlarm0 + 8, 100);
    timer.write(T::kTimeLw, 95);
    timer.write(T::kTimeHw, 0);
    runTo(nanoseconds(4999));
    EXPECT_EQ(timer.read(T::kIntr), 0u);
    runTo(nanoseconds(5000));
    EXPECT_EQ(timer.read(T::kIntr), 0x4u);

    // Alarm 3 two ticks ahead; paused for 10 us in between, it fires two
    // ticks after the count runs again.
    timer.write(T::kAlarm0 + 12, 102);
    timer.write(T::kPause, 1);
    EXPECT_EQ(timer.read(T::kPause), 1u);
    runTo(nanoseconds(15000));
    EXPECT_EQ(timer.read(T::kTimeRawL), 100u);
    EXPECT_EQ(timer.read(T::kIntr) & 0x8u, 0u);
    timer.write(T::kPause, 0);
    runTo(nanoseconds(16999));
    EXPECT_EQ(timer.read(T::kIntr) & 0x8u, 0u);
    runTo(nanoseconds(17000));
    EXPECT_EQ(timer.read(T::kIntr) & 0x8u, 0x8u);
    EXPECT_EQ(timer.read(T::kTimeRawL), 102u);
}

TEST_F(TimerRegistersTest, ADebuggerHaltPausesTheCountAsDbgPauseSays) {
    // Either core's bit stops the count, as the halt stops both cores.
    const struct {
        std::uint32_t dbgPause;
        bool pauses;
    } cases[] = {{T::kDbgPauseReset, true}, {0x2, true}, {0x4, true}, {0x0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dbgPause);
        chip.timer.reset();
        const sim::Time start = chip.now();
        const auto at = [&](std::uint64_t us) { return start + nanoseconds(us * 1000); };
        if (c.dbgPause != T::kDbgPauseReset)
            timer.write(T::kDbgPause, c.dbgPause);
        timer.write(T::kTimeLw, 1000);
        timer.write(T::kTimeHw, 0);
        timer.write(T::kAlarm0, 1050);
        runTo(at(10));
        chip.setDebugHalt(true);
        runTo(at(110));
        EXPECT_EQ(timer.read(T::kTimeLr), c.pauses ? 1010u : 1110u);
        EXPECT_EQ(timer.read(T::kTimeRawL), c.pauses ? 1010u : 1110u);
        EXPECT_EQ(timer.read(T::kIntr), c.pauses ? 0u : 1u);
        chip.setDebugHalt(false);
        // Paused, the alarm fires 40 us after the release, not during the halt.
        runTo(at(149));
        EXPECT_EQ(timer.read(T::kIntr), c.pauses ? 0u : 1u);
        runTo(at(150));
        EXPECT_EQ(timer.read(T::kIntr), 1u);
        EXPECT_EQ(timer.read(T::kTimeRawL), c.pauses ? 1050u : 1150u);
    }
}

} // namespace
