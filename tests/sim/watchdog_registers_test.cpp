// The watchdog as the bus fabric reaches it: the count in
// CTRL.TIME, the reset on expiry and on TRIGGER with its reason, scratch
// registers surviving, and which pause bits stop the count under a debugger.
#include "chip_bench.h"

namespace {

using sim::microseconds;
using W = sim::Watchdog;

class WatchdogRegistersTest : public ChipBench {
protected:
    // An idle chip: the run loop resets it as it would a busy one.
    void idle() {
        boot([] {});
    }
    sim::RegisterBlock& wd = chip.watchdog;
};

TEST_F(WatchdogRegistersTest, CountDropsTwoPerMicrosecondAndExpiryResetsTheChip) {
    idle();
    run(microseconds(10));
    wd.write(W::kScratch0 + 4, 0xCAFEF00D);
    wd.write(W::kTick, 12 | W::kTickEnable);
    wd.write(W::kLoad, 1000);
    wd.write(W::kCtrl, W::kCtrlEnable);
    EXPECT_EQ(wd.read(W::kLoad), 0u); // write-only
    EXPECT_EQ(wd.read(W::kCtrl), W::kCtrlEnable | 1000u);
    run(microseconds(100));
    EXPECT_EQ(wd.read(W::kCtrl) & 0xFFFFFF, 800u);
    EXPECT_EQ(chip.resets(), 0u);
    run(microseconds(400));
    ASSERT_EQ(chip.resets(), 1u);
    EXPECT_EQ(chip.resetLog()[0].at, microseconds(510));
    EXPECT_EQ(wd.read(W::kReason), W::kReasonTimer);
    EXPECT_EQ(wd.read(W::kCtrl), 0x07000000u);
    EXPECT_EQ(wd.read(W::kScratch0 + 4), 0xCAFEF00Du);
    EXPECT_EQ(wd.read(W::kTick), 0x600u);
    // The reason is read-only.
    wd.write(W::kReason, 0);
    EXPECT_EQ(wd.read(W::kReason), W::kReasonTimer);
}

TEST_F(WatchdogRegistersTest, TriggerResetsAtOnceWithTheForceReason) {
    idle();
    run(microseconds(30));
    wd.write(W::kCtrl, W::kCtrlTrigger);
    run(microseconds(1));
    ASSERT_EQ(chip.resets(), 1u);
    EXPECT_EQ(chip.resetLog()[0].at, microseconds(30));
    EXPECT_EQ(wd.read(W::kReason), W::kReasonForce);
}

TEST_F(WatchdogRegistersTest, OnlyTheDebugPauseBitsStopTheCountUnderAHalt) {
    struct Case {
        std::uint32_t pause;
        bool pauses;
    };
    const Case cases[] = {
        {0, false},
        {W::kCtrlPauseJtag, false},
        {W::kCtrlPauseDbg0, true},
        {W::kCtrlPauseDbg1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pause);
        chip.watchdog.powerOnReset();
        wd.write(W::kLoad, 1000);
        wd.write(W::kCtrl, W::kCtrlEnable | c.pause);
        EXPECT_EQ(wd.read(W::kCtrl), W::kCtrlEnable | c.pause | 1000u);
        chip.setDebugHalt(true);
        ASSERT_TRUE(sim.runFor(microseconds(100)));
        EXPECT_EQ(wd.read(W::kCtrl) & 0xFFFFFF, c.pauses ? 1000u : 800u);
        chip.setDebugHalt(false);
        ASSERT_TRUE(sim.runFor(microseconds(100)));
        EXPECT_EQ(wd.read(W::kCtrl) & 0xFFFFFF, c.pauses ? 800u : 600u);
    }
}

} // namespace
