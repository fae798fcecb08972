#include <gtest/gtest.h>

#include "compare.h"

#include <functional>
#include <string>

namespace {

using differential::Event;
using differential::Trace;
using sim::microseconds;
using sim::milliseconds;

Event pin(sim::Time at, bool level) {
    return {at, "valdor@0", sim::PinLevel{5, level, sim::PinLevel::Holder::Chip, 5}};
}

Event dac(sim::Time at, unsigned channel, unsigned value) {
    const auto word = static_cast<std::uint16_t>(channel << 15 | 0x3000 | value);
    return {at, "valdor@0", sim::DacCommand{word, channel, value, true}};
}

Event spi(sim::Time at, std::uint16_t rx, unsigned bits) {
    return {at, "valdor@0", sim::SpiTransfer{0x3064, rx, bits, 0, microseconds(164)}};
}

differential::Script script() {
    differential::Script s;
    s.image = "valdor";
    for (unsigned k = 0; k < 4; ++k) {
        differential::Step step;
        step.at = milliseconds(10 * k);
        step.action = sim::scenario::Transfer{{sim::I2cMessage::readBytes(0x27, 2)}};
        s.steps.push_back(step);
    }
    return s;
}

// Four steps 10 ms apart from 16 ms on, each a two-byte read, and an output
// pin and the converter changing after some of them.
Trace reference() {
    Trace t;
    t.backend = "host";
    t.start = milliseconds(16);
    t.end = milliseconds(60);
    for (unsigned k = 0; k < 4; ++k) {
        t.stepAt.push_back(milliseconds(16 + 10 * k));
        t.outcomes.push_back({1, 0x10 + static_cast<int>(k), 0x00});
        t.transfers.push_back("r2@0x27");
    }
    t.streams["pin GPIO5"] = {pin(milliseconds(17), true), pin(milliseconds(27), false),
                              pin(milliseconds(37), true), pin(milliseconds(47), false)};
    t.streams["dac"] = {dac(milliseconds(28), 0, 100), dac(milliseconds(48), 1, 7)};
    t.streams["spi"] = {spi(milliseconds(28), 0, 16)};
    return t;
}

TEST(DifferentialCompare, FindsTheFirstDivergenceAndPassesWhatIsWithinTolerance) {
    const differential::Tolerance tol = differential::realBinaryTolerance();
    struct Case {
        const char* name;
        std::function<void(Trace&)> change;
        bool diverges;
        std::size_t step;
        const char* what; // part of the report line
    };
    const Case cases[] = {
        {"identical", [](Trace&) {}, false, 0, ""},
        {"one byte", [](Trace& t) { t.outcomes[2][2] = 0x01; }, true, 2, "step 2"},
        {"no acknowledge", [](Trace& t) { t.outcomes[1] = {0}; }, true, 1, "step 1"},
        {"all late by the start-up",
         [](Trace& t) {
             for (auto& s : t.streams)
                 for (auto& e : s.second)
                     e.at += milliseconds(5);
         },
         false, 0, ""},
        {"one tick and code time of jitter",
         [](Trace& t) { t.streams["pin GPIO5"][2].at += microseconds(1250); }, false, 0, ""},
        {"one event late past the jitter",
         [](Trace& t) { t.streams["pin GPIO5"][2].at += microseconds(1300); }, true, 2,
         "pin GPIO5 event 2 at 37000.000us"},
        {"early past a tick", [](Trace& t) { t.streams["dac"][0].at -= microseconds(1300); }, true,
         1, "early by more"},
        {"common offset too large",
         [](Trace& t) {
             for (auto& e : t.streams["dac"])
                 e.at += milliseconds(7);
         },
         true, 1, "common offset"},
        {"another value", [](Trace& t) { t.streams["dac"][1] = dac(milliseconds(48), 1, 8); }, true,
         3, "dac event 1 at 48000.000us (elf event 1): value 8 instead of 7"},
        {"the world's answer in a frame",
         [](Trace& t) { t.streams["spi"][0] = spi(milliseconds(28), 0xffff, 16); }, false, 0, ""},
        {"the frame's length", [](Trace& t) { t.streams["spi"][0] = spi(milliseconds(28), 0, 8); },
         true, 1, "bits 8 instead of 16"},
        {"who holds a pin",
         [](Trace& t) {
             std::get<sim::PinLevel>(t.streams["pin GPIO5"][1].data).holder =
                 sim::PinLevel::Holder::World;
         },
         true, 1, "holder world instead of chip"},
        {"a missing event", [](Trace& t) { t.streams["pin GPIO5"].pop_back(); }, true, 3,
         "missing"},
        {"an extra event", [](Trace& t) { t.streams["pin GPIO9"] = {pin(milliseconds(40), true)}; },
         true, 2, "lacks"},
        {"the earliest of two",
         [](Trace& t) {
             t.outcomes[3][1] = 0;
             t.streams["pin GPIO5"][1] = pin(milliseconds(27), true);
         },
         true, 1, "pin GPIO5 event 1"},
    };
    const differential::Script s = script();
    const Trace a = reference();
    for (const Case& c : cases) {
        Trace b = a;
        b.backend = "elf";
        c.change(b);
        differential::Counts counts;
        const differential::Divergence d = differential::compare(s, a, b, tol, counts);
        EXPECT_EQ(d.found, c.diverges) << c.name << ": " << d.what;
        if (!c.diverges || !d.found)
            continue;
        EXPECT_EQ(d.step, c.step) << c.name;
        EXPECT_NE(d.what.find(c.what), std::string::npos) << c.name << ": " << d.what;
        // Both traces around it.
        EXPECT_NE(d.context.find("host"), std::string::npos) << c.name;
        EXPECT_NE(d.context.find("elf"), std::string::npos) << c.name;
    }
}

} // namespace
