// valdor's status LEDs on PWM slice 0: GPIO1 (channel B) breathes from
// start-up until the host first talks, GPIO0 (channel A) from 500 ticks after
// the host's last heartbeat until the next one. A pin handed back shows the
// level the host asked for on its output channel.
#include "valdor_bench.h"

#include "FreeRTOS.h"
#include "kernel/scheduler.h"
#include "task.h"

#include <cstdio>

namespace valdor_test {
namespace {

struct PwmSetting {
    Time at;
    bool on;
    unsigned top;
    float divider;
    unsigned a;
    unsigned b;
};

// One breath from dark: 88 steps up to 2500 and 88 back to 0.
std::vector<unsigned> breath() {
    std::vector<unsigned> levels;
    for (unsigned l = 20; l <= 100; l += 20)
        levels.push_back(l);
    for (unsigned l = 125; l <= 500; l += 25)
        levels.push_back(l);
    for (unsigned l = 530; l <= 2480; l += 30)
        levels.push_back(l);
    levels.push_back(2500);
    for (int l = 2470; l >= 520; l -= 30)
        levels.push_back(static_cast<unsigned>(l));
    for (int l = 490; l >= 90; l -= 25)
        levels.push_back(static_cast<unsigned>(l));
    for (int l = 70; l >= 10; l -= 20)
        levels.push_back(static_cast<unsigned>(l));
    levels.push_back(0);
    return levels;
}

// The LED task steps at every tenth tick; on the ticks where the analog
// task wakes too (every 20 ticks from tick 1) its two 2-us conversions come
// first.
Time stepTime(std::uint64_t tick) {
    return milliseconds(tick) + (tick % 20 == 1 ? microseconds(4) : 0);
}

class ValdorStatusLeds : public ValdorTest {
protected:
    std::vector<PwmSetting> pwm(Time from = 0) {
        std::vector<PwmSetting> out;
        for (const sim::Record& r : records("pwm", from)) {
            PwmSetting s{r.at, false, 0, 0, 0, 0};
            char state[4] = {};
            if (std::sscanf(r.text.c_str(), "slice 0 %3[onf], top %u, div %f, A %u, B %u", state,
                            &s.top, &s.divider, &s.a, &s.b) == 5) {
                s.on = std::string(state) == "on";
                out.push_back(s);
            }
        }
        return out;
    }
    // (time, level) of each change of one channel's compare level.
    std::vector<std::pair<Time, unsigned>> levelSteps(bool channelB, Time from) {
        std::vector<std::pair<Time, unsigned>> steps;
        unsigned last = 0;
        for (const PwmSetting& s : pwm(from)) {
            const unsigned level = channelB ? s.b : s.a;
            if (s.on && level != last)
                steps.emplace_back(s.at, level);
            last = level;
        }
        return steps;
    }
    // When a level written at `written` shows: the running slice takes it at
    // its next wrap, every 2501 counts of 8 system clocks from its last start;
    // a level written as the slice starts, a full period later. The real
    // binary's timeline is compared with more slack than a period: there a
    // later write's own time stands.
    Time shown(Time written) {
        constexpr Time kPeriod = sim::nanoseconds(2501 * 64);
        Time start = sim::kNever;
        bool wasOn = false;
        for (const PwmSetting& s : pwm()) {
            if (s.on && !wasOn && (start == sim::kNever || s.at <= written))
                start = s.at;
            wasOn = s.on;
        }
        if (written <= start)
            return written + kPeriod;
        if (image_backend::kElf)
            return written;
        return start + ((written - start) / kPeriod + 1) * kPeriod;
    }
    // The tick in which the board task heard the heartbeat that ended at t.
    static std::uint64_t tickOf(Time t) { return t / milliseconds(1); }
};

TEST_F(ValdorStatusLeds, StartUpLedBreathesOnGpio1) {
    runUntil(milliseconds(1800));
    EXPECT_EQ(function(1), sim::gpiofn::kPwm);
    EXPECT_EQ(function(0), sim::gpiofn::kSio);
    const std::vector<PwmSetting> settings = pwm();
    ASSERT_FALSE(settings.empty());
    // Slice 0 set up at the end of the board's set-up: 2500 + 1 counts of
    // 8 system clocks, a 160-us period.
    EXPECT_TRUE(onTime(settings.front().at, kSetUp, kStartUp));
    const PwmSetting& running = settings.at(2);
    EXPECT_TRUE(running.on);
    EXPECT_EQ(running.top, 2500u);
    EXPECT_EQ(running.divider, 8.0f);
    EXPECT_EQ(running.a, 0u);
    EXPECT_EQ(running.b, 0u);

    std::vector<std::pair<Time, unsigned>> expected;
    const std::vector<unsigned> levels = breath();
    ASSERT_EQ(levels.size(), 176u);
    expected.emplace_back(shown(kSetUp), levels[0]);
    for (std::size_t k = 1; 1 + 10 * k < 1800; ++k)
        expected.emplace_back(shown(stepTime(1 + 10 * k)), levels[k % levels.size()]);
    EXPECT_TRUE(sameTimeline(levelSteps(true, 0), expected));
    for (const PwmSetting& s : settings)
        EXPECT_EQ(s.a, 0u) << s.at;
}

TEST_F(ValdorStatusLeds, FirstHostActivityStopsTheFadingWithGpio1Low) {
    runUntil(microseconds(43300));
    const Time hb = heartbeat();
    EXPECT_EQ(function(1), sim::gpiofn::kSio);
    EXPECT_TRUE(chip().gpio.state(1).outputEnabled);
    EXPECT_FALSE(level(1));
    const std::vector<sim::Record> functions = records("function", hb);
    ASSERT_EQ(functions.size(), 1u);
    EXPECT_TRUE(onTime(functions[0].at, hb));
    EXPECT_EQ(functions[0].text, "GPIO1 sio");
    // A second heartbeat changes nothing; nothing fades until the host is lost.
    runUntil(milliseconds(100));
    heartbeat();
    runUntil(milliseconds(tickOf(hb) + 499));
    EXPECT_TRUE(levelSteps(true, hb).empty());
    EXPECT_TRUE(levelSteps(false, hb).empty());
    EXPECT_EQ(records("function", hb).size(), 1u);
}

// Output 10 set before the first heartbeat is not lost: GPIO1 comes back
// from PWM at the host's level. The same for output 11 and GPIO0 after the
// host-lost fading.
TEST_F(ValdorStatusLeds, AHandedBackPinShowsTheHostsOutputLevel) {
    runUntil(milliseconds(5));
    writeWord(0x50, 0x0400); // channel 10: GPIO1
    runUntil(milliseconds(30));
    EXPECT_EQ(function(1), sim::gpiofn::kPwm);
    Time hb = heartbeat();
    EXPECT_EQ(function(1), sim::gpiofn::kSio);
    EXPECT_TRUE(level(1));
    EXPECT_TRUE(sameTimeline(pinChanges(1, hb), {{hb, true}}, 0));

    const Time lost = milliseconds(tickOf(hb) + 500);
    runUntil(lost + milliseconds(15));
    ASSERT_EQ(function(0), sim::gpiofn::kPwm);
    writeWord(0x50, 0x0C00); // channels 10 and 11: GPIO1 and GPIO0
    EXPECT_EQ(function(0), sim::gpiofn::kPwm);
    EXPECT_TRUE(level(1));
    runUntil(lost + milliseconds(40));
    hb = heartbeat();
    EXPECT_EQ(function(0), sim::gpiofn::kSio);
    EXPECT_TRUE(level(0));
    EXPECT_TRUE(level(1));
    EXPECT_TRUE(sameTimeline(pinChanges(0, hb), {{hb, true}}, 0));
}

TEST_F(ValdorStatusLeds, HostLostLedBreathesOnGpio0FiveHundredTicksAfterTheLastHeartbeat) {
    runUntil(microseconds(25300));
    heartbeat();
    runUntil(microseconds(425300));
    const Time last = heartbeat(); // keeps the host alive: no fading at 525
    const std::uint64_t lostTick = tickOf(last) + 500;
    runUntil(milliseconds(lostTick) - 1);
    EXPECT_EQ(function(0), sim::gpiofn::kSio);
    runUntil(milliseconds(lostTick + 25));
    EXPECT_EQ(function(0), sim::gpiofn::kPwm);
    EXPECT_EQ(function(1), sim::gpiofn::kSio);
    const std::vector<sim::Record> functions = records("function", milliseconds(lostTick));
    ASSERT_EQ(functions.size(), 1u);
    EXPECT_EQ(functions[0].at, milliseconds(lostTick));
    EXPECT_EQ(functions[0].text, "GPIO0 pwm");
    EXPECT_EQ(levelSteps(false, last), (std::vector<std::pair<Time, unsigned>>{
                                           {shown(milliseconds(lostTick)), 20},
                                           {shown(stepTime(lostTick + 10)), 40},
                                           {shown(stepTime(lostTick + 20)), 60},
                                       }));
    EXPECT_TRUE(levelSteps(true, last).empty());

    // The next heartbeat stops it and leaves GPIO0 low; the next loss of
    // the host fades from dark again.
    const Time back = heartbeat();
    EXPECT_EQ(function(0), sim::gpiofn::kSio);
    EXPECT_FALSE(level(0));
    const std::uint64_t lostAgain = tickOf(back) + 500;
    runUntil(milliseconds(lostAgain + 15));
    EXPECT_EQ(levelSteps(false, back), (std::vector<std::pair<Time, unsigned>>{
                                           {shown(milliseconds(lostAgain)), 20},
                                           {shown(stepTime(lostAgain + 10)), 40},
                                       }));
}

// A notification value that is no fading state: the warning, and the LED
// holds where it is until the next valid state.
TEST_F(ValdorStatusLeds, AnInvalidStateIsReportedAndChangesNothing) {
    runUntil(microseconds(30500));
    // A debugger posts the value 3 to the status-LED task.
    sim::Scheduler& scheduler = chip().scheduler();
    sim::Task* task = scheduler.findTask("StatusLEDs");
    ASSERT_NE(task, nullptr);
    bool woken = false;
    scheduler.notify(task, 3, eSetValueWithOverwrite, nullptr, &woken);
    const Time poked = now();
    runUntil(milliseconds(200));
    const std::vector<sim::Record> console = records("console");
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0].at, poked);
    EXPECT_EQ(console[0].text, "[WARN] [ledStatusTask] invalid notify state: 3");
    EXPECT_TRUE(levelSteps(true, poked).empty());
    EXPECT_EQ(function(1), sim::gpiofn::kPwm);
    EXPECT_EQ(chip().pwm.slice(0).levelB, 60u); // where tick 21's step left it

    const Time hb = heartbeat();
    EXPECT_EQ(function(1), sim::gpiofn::kSio);
    EXPECT_EQ(records("function", hb).size(), 1u);
}

} // namespace
} // namespace valdor_test
