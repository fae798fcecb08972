// valdor's status LEDs on PWM slice 0: GPIO1 (channel B) breathes from
// start-up until the host first talks, GPIO0 (channel A) from 500 ticks after
// the host's last heartbeat until the next one. A pin handed back shows the
// level the host asked for on its output channel.
#include "valdor_bench.h"

#include <cstdio>
#include <optional>

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
            if (std::sscanf(r.text().c_str(), "slice 0 %3[onf], top %u, div %f, A %u, B %u", state,
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
    // The board's tick grid: on the real binary the start-up breath's second
    // step, ten ticks into it, on a tick where no conversion comes first (its
    // level shows at the next wrap, within the code time); whole
    // milliseconds on the host model.
    Time breathStep() {
        if (!image_backend::kElf)
            return 0;
        const std::vector<std::pair<Time, unsigned>> steps = levelSteps(true, 0);
        EXPECT_GE(steps.size(), 2u);
        return steps.size() >= 2 ? steps[1].first : 0;
    }
    // The tick in which the board task heard the heartbeat that ended at t.
    static std::uint64_t tickOf(Time t) { return t / milliseconds(1); }
    // Whether `steps` are `levels` from `lost` on (a tick of the board's,
    // on the host model's grid), one every tenth tick, each shown at the
    // slice's next wrap.
    ::testing::AssertionResult fadesFrom(const std::vector<std::pair<Time, unsigned>>& steps,
                                         Time lost, const std::vector<unsigned>& levels) {
        const std::uint64_t tick = tickOf(lost);
        if (steps.size() != levels.size())
            return ::testing::AssertionFailure() << steps.size() << " steps";
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const Time at = shown(lost + stepTime(tick + 10 * k) - milliseconds(tick));
            if (steps[k].second != levels[k] || !near(steps[k].first, at))
                return ::testing::AssertionFailure()
                       << "step " << k << ": " << steps[k].second << " at "
                       << sim::Recorder::formatTime(steps[k].first) << ", expected " << levels[k]
                       << " at " << sim::Recorder::formatTime(at);
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(ValdorStatusLeds, StartUpLedBreathesOnGpio1) {
    runUntil(milliseconds(1800));
    EXPECT_EQ(function(kStartupLed), sim::gpiofn::kPwm);
    EXPECT_EQ(function(kHostLostLed), sim::gpiofn::kSio);
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
    EXPECT_EQ(function(kStartupLed), sim::gpiofn::kSio);
    EXPECT_TRUE(chip().gpio.state(kStartupLed).outputEnabled);
    EXPECT_FALSE(level(kStartupLed));
    const std::vector<sim::Record> functions = records("function", hb);
    ASSERT_EQ(functions.size(), 1u);
    EXPECT_TRUE(onTime(functions[0].at, hb));
    EXPECT_EQ(functions[0].text(), "GPIO1 sio");
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
    EXPECT_EQ(function(kStartupLed), sim::gpiofn::kPwm);
    Time hb = heartbeat();
    EXPECT_EQ(function(kStartupLed), sim::gpiofn::kSio);
    EXPECT_TRUE(level(kStartupLed));
    EXPECT_TRUE(sameTimeline(pinChanges(kStartupLed, hb), {{hb, true}}, 0));

    const Time lost = milliseconds(tickOf(hb) + 500);
    runUntil(lost + milliseconds(15));
    ASSERT_EQ(function(kHostLostLed), sim::gpiofn::kPwm);
    writeWord(0x50, 0x0C00); // channels 10 and 11: GPIO1 and GPIO0
    EXPECT_EQ(function(kHostLostLed), sim::gpiofn::kPwm);
    EXPECT_TRUE(level(kStartupLed));
    runUntil(lost + milliseconds(40));
    hb = heartbeat();
    EXPECT_EQ(function(kHostLostLed), sim::gpiofn::kSio);
    EXPECT_TRUE(level(kHostLostLed));
    EXPECT_TRUE(level(kStartupLed));
    EXPECT_TRUE(sameTimeline(pinChanges(kHostLostLed, hb), {{hb, true}}, 0));
}

TEST_F(ValdorStatusLeds, HostLostLedBreathesOnGpio0FiveHundredTicksAfterTheLastHeartbeat) {
    runUntil(microseconds(25300));
    heartbeat();
    runUntil(microseconds(425300));
    const Time last = heartbeat(); // keeps the host alive: no fading at 525
    runUntil(last + milliseconds(499));
    EXPECT_EQ(function(kHostLostLed), sim::gpiofn::kSio);
    runUntil(last + milliseconds(525));
    EXPECT_EQ(function(kHostLostLed), sim::gpiofn::kPwm);
    EXPECT_EQ(function(kStartupLed), sim::gpiofn::kSio);
    const std::vector<sim::Record> functions = records("function", last);
    ASSERT_EQ(functions.size(), 1u);
    EXPECT_TRUE(ticksAfter(functions[0].at, last, 500, breathStep()));
    EXPECT_EQ(functions[0].text(), "GPIO0 pwm");
    EXPECT_TRUE(fadesFrom(levelSteps(false, last), functions[0].at, {20, 40, 60}));
    EXPECT_TRUE(levelSteps(true, last).empty());

    // The next heartbeat stops it and leaves GPIO0 low; the next loss of
    // the host fades from dark again.
    const Time back = heartbeat();
    EXPECT_EQ(function(kHostLostLed), sim::gpiofn::kSio);
    EXPECT_FALSE(level(kHostLostLed));
    runUntil(back + milliseconds(515));
    std::vector<Time> toPwm;
    for (const sim::Record& r : records("function", back))
        if (r.text() == "GPIO0 pwm")
            toPwm.push_back(r.at);
    ASSERT_EQ(toPwm.size(), 1u);
    EXPECT_TRUE(ticksAfter(toPwm[0], back, 500, breathStep()));
    EXPECT_TRUE(fadesFrom(levelSteps(false, back), toPwm[0], {20, 40}));
}

// Every state one pin shows a probe: each change of level and the level at
// each change of function, even when the next change follows at once.
class PinProbe : public sim::ChipObserver {
public:
    PinProbe(sim::Chip& chip, unsigned pin) : chip_(chip), pin_(pin) { chip_.addObserver(*this); }
    ~PinProbe() override { chip_.removeObserver(*this); }
    void pinChanged(sim::Chip& c, unsigned pin, const sim::PinState& s) override {
        note(c, pin, s);
    }
    void pinFunctionChanged(sim::Chip& c, unsigned pin, const sim::PinState& s) override {
        note(c, pin, s);
    }
    std::vector<std::pair<Time, sim::PinState>> seen;

private:
    void note(sim::Chip& c, unsigned pin, const sim::PinState& s) {
        if (pin == pin_)
            seen.emplace_back(c.now(), s);
    }
    sim::Chip& chip_;
    unsigned pin_;
};

// The hand-back of GPIO0 after the host-lost fading, with the host's
// heartbeat alone or in one write with new outputs (a byte with bit 7 to
// 0x0B runs on through the read-only 0x12/0x13 into 0x50/0x51). From PWM the
// pin goes straight to a level the host asked for, driven: never undriven or
// at another level, not even for no time at all. Each case runs again with
// code taking virtual time, as on the chip.
struct HandBack {
    const char* name;
    bool before;               // output 11 (GPIO0) before the host fell silent
    std::optional<bool> write; // output 11 in the heartbeat write
    std::uint64_t seed;        // 0: code takes no time
};

void PrintTo(const HandBack& c, std::ostream* os) {
    *os << c.name << " seed " << c.seed;
}

class ValdorStatusLedHandBack : public ValdorStatusLeds,
                                public ::testing::WithParamInterface<HandBack> {};

TEST_P(ValdorStatusLedHandBack, Gpio0ShowsOnlyLevelsTheHostAskedFor) {
    const HandBack& c = GetParam();
    if (c.seed != 0)
        bench_.setPerturbation(c.seed);
    runUntil(milliseconds(5));
    writeWord(0x50, c.before ? 0x0800 : 0x0000);
    const Time first = heartbeat();
    runUntil(milliseconds(tickOf(first) + 520) + kStartUp);
    ASSERT_EQ(function(kHostLostLed), sim::gpiofn::kPwm);

    PinProbe probe(chip(), 0);
    const bool latest = c.write.value_or(c.before);
    if (c.write)
        write(0x0B, {0x80, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(latest ? 0x08 : 0x00)});
    else
        heartbeat();
    runFor(milliseconds(2));
    EXPECT_EQ(function(kHostLostLed), sim::gpiofn::kSio);
    EXPECT_EQ(level(kHostLostLed), latest);
    ASSERT_FALSE(probe.seen.empty());
    for (const auto& [at, state] : probe.seen) {
        const bool asked = state.level == latest || state.level == c.before;
        EXPECT_TRUE(state.function == sim::gpiofn::kPwm ||
                    (state.chip != sim::Drive::None && asked))
            << "at " << sim::Recorder::formatTime(at) << ": GPIO0 "
            << sim::functionName(state.function)
            << (state.chip == sim::Drive::None ? " undriven" : " driven") << " at " << state.level;
    }
    EXPECT_EQ(probe.seen.back().second.level, latest);
}

std::vector<HandBack> handBackCases() {
    const HandBack shapes[] = {
        {"HighKept", true, std::nullopt, 0},
        {"LowKept", false, std::nullopt, 0},
        {"HighToLow", true, false, 0},
        {"LowToHigh", false, true, 0},
    };
    std::vector<HandBack> cases;
    for (std::uint64_t seed : {0, 1, 2, 3}) {
        for (HandBack c : shapes) {
            c.seed = seed;
            cases.push_back(c);
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, ValdorStatusLedHandBack, ::testing::ValuesIn(handBackCases()),
                         [](const auto& info) {
                             return std::string(info.param.name) + "Seed" +
                                    std::to_string(info.param.seed);
                         });

// A notification value that is no fading state: the warning, and the LED
// holds where it is until the next valid state.
TEST_F(ValdorStatusLeds, AnInvalidStateIsReportedAndChangesNothing) {
    runUntil(microseconds(30500));
    // A debugger posts the value 3 to the status-LED task.
    image_backend::CallResult notified;
    chip().notifyTask(0, "StatusLEDs", 3, notified.callback());
    ASSERT_TRUE(image_backend::awaitReturn(notified, [this](Time d) { runFor(d); }));
    ASSERT_TRUE(notified.succeeded());
    const Time poked = now();
    runUntil(milliseconds(200));
    const std::vector<sim::Record> console = records("console");
    if (image_backend::printsToConsole("valdor")) {
        ASSERT_EQ(console.size(), 1u);
        EXPECT_TRUE(onTime(console[0].at, poked - microseconds(1)));
        EXPECT_EQ(console[0].text(), "[WARN] [ledStatusTask] invalid notify state: 3");
    }
    EXPECT_TRUE(levelSteps(true, poked).empty());
    EXPECT_EQ(function(kStartupLed), sim::gpiofn::kPwm);
    EXPECT_EQ(chip().pwm.slice(0).levelB, 60u); // where tick 21's step left it

    const Time hb = heartbeat();
    EXPECT_EQ(function(kStartupLed), sim::gpiofn::kSio);
    EXPECT_EQ(records("function", hb).size(), 1u);
}

} // namespace
} // namespace valdor_test
