// The watchdog: a missed feed resets the chip 50 ms after the last feed with
// the image's statics fresh, a debugger halt pauses the count when asked to,
// and the reason of the reset survives it.
#include "chip_bench.h"

#include "world/recorder.h"

#include "hardware/watchdog.h"
#include "pico/stdlib.h"

#include <cstdio>

namespace {

using sim::milliseconds;

class WatchdogTest : public ChipBench {};

TEST_F(WatchdogTest, StarvedWatchdogResetsWithFreshStatics) {
    sim::Recorder recorder;
    recorder.attach(chip);
    chip.loadImage(SIM_TEST_IMAGE);
    chip.powerOn();
    // The image feeds at 0, 10, 20, 30 and 40 ms after each boot.
    run(milliseconds(89));
    auto lastFeed =
        reinterpret_cast<std::uint64_t (*)()>(chip.image()->symbol("testImageLastFeedUs"));
    ASSERT_NE(lastFeed, nullptr);
    EXPECT_EQ(lastFeed(), 40000u);
    EXPECT_EQ(chip.resets(), 0u);
    run(milliseconds(10));
    ASSERT_EQ(chip.resets(), 1u);
    EXPECT_EQ(chip.resetLog()[0].at, milliseconds(90));
    EXPECT_EQ(chip.resetLog()[0].cause, "watchdog timeout");

    auto boots = reinterpret_cast<int (*)()>(chip.image()->symbol("testImageBoots"));
    ASSERT_NE(boots, nullptr);
    EXPECT_EQ(boots(), 42);
    EXPECT_EQ(chip.image()->copiesLoaded(), 2u);
    Lines lines;
    for (const sim::Record& r : recorder.records()) {
        if (r.kind() == "console" || r.kind() == "reset")
            lines.push_back(r.line());
    }
    EXPECT_EQ(lines,
              (Lines{"0.000us board console boot 42", "90000.000us board reset watchdog timeout",
                     "90000.000us board console boot 42"}));
    run(milliseconds(100));
    EXPECT_EQ(chip.resets(), 2u);
    EXPECT_EQ(chip.resetLog()[1].at, milliseconds(180));
}

class FeedOnce : public WatchdogTest {
protected:
    void bootFeedingOnce(bool pauseOnDebug) {
        boot([this, pauseOnDebug] {
            spawn("Feed", 2, 0x1, [this, pauseOnDebug] {
                watchdog_enable(50, pauseOnDebug);
                note("armed");
                for (;;)
                    vTaskDelay(1000);
            });
        });
    }
};

TEST_F(FeedOnce, DebuggerHaltPausesTheCount) {
    bootFeedingOnce(true);
    run(milliseconds(20));
    EXPECT_EQ(chip.watchdog.count() / 2, 30000u);
    chip.setDebugHalt(true);
    run(milliseconds(100));
    EXPECT_EQ(chip.resets(), 0u);
    EXPECT_EQ(chip.watchdog.count() / 2, 30000u);
    chip.setDebugHalt(false);
    run(milliseconds(29));
    EXPECT_EQ(chip.resets(), 0u);
    run(milliseconds(2));
    ASSERT_EQ(chip.resets(), 1u);
    EXPECT_EQ(chip.resetLog()[0].at, milliseconds(150));
}

TEST_F(FeedOnce, WithoutPauseTheCountRunsThroughAHalt) {
    bootFeedingOnce(false);
    run(milliseconds(20));
    chip.setDebugHalt(true);
    run(milliseconds(20));
    EXPECT_EQ(chip.watchdog.count() / 2, 10000u);
    chip.setDebugHalt(false);
    run(milliseconds(20));
    ASSERT_EQ(chip.resets(), 1u);
    EXPECT_EQ(chip.resetLog()[0].at, milliseconds(50));
}

TEST_F(WatchdogTest, RebootReasonSurvivesTheReset) {
    boot([this] {
        spawn("Reboot", 2, 0x1, [this] {
            note(std::string("caused ") + (watchdog_caused_reboot() ? "yes" : "no") +
                 ", by enable " + (watchdog_enable_caused_reboot() ? "yes" : "no"));
            if (bench().chip.resets() == 0)
                watchdog_reboot(0, 0, 5);
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(10));
    EXPECT_EQ(log, (Lines{"0us caused no, by enable no", "5000us caused yes, by enable no"}));
    ASSERT_EQ(chip.resets(), 1u);
    EXPECT_EQ(chip.resetLog()[0].cause, "watchdog timeout");
}

TEST_F(WatchdogTest, RebootWithoutDelayResetsAtOnce) {
    boot([this] {
        spawn("Reboot", 2, 0x1, [this] {
            if (bench().chip.resets() == 0) {
                vTaskDelay(3);
                watchdog_reboot(0, 0, 0);
                note("still running");
            }
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(10));
    EXPECT_TRUE(log.empty());
    ASSERT_EQ(chip.resets(), 1u);
    EXPECT_EQ(chip.resetLog()[0].at, milliseconds(3));
    EXPECT_EQ(chip.resetLog()[0].cause, "watchdog trigger");
}

} // namespace
