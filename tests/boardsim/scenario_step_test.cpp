// The scenario vocabulary that boardsim reads and the other tools print: a
// line parses to a step that prints back to the same line (or to its
// canonical form), and a wrong line is a usage error that says why.
#include "harness/command_words.h"
#include "harness/scenario_step.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace sim::scenario;
using sim::I2cMessage;

const I2cMessage& message(const Step& s, std::size_t k) {
    return std::get<Transfer>(s).messages.at(k);
}

TEST(ScenarioStep, LinesParseAndPrintBack) {
    const struct {
        const char* line;
        const char* printed; // null: the line itself
        std::function<bool(const Step&)> means;
    } cases[] = {
        {"run 100ms", nullptr,
         [](const Step& s) { return std::get<sim::scenario::Run>(s).duration == 100000000; }},
        {"run 1.5s", "run 1500ms", {}},
        {"run 12.5us", nullptr,
         [](const Step& s) { return std::get<sim::scenario::Run>(s).duration == 12500; }},
        {"run 10ns", nullptr, {}},
        {"run 2000000ns", "run 2ms", {}},
        {"i2c w1@0x25 0xfd r2", nullptr,
         [](const Step& s) {
             return message(s, 1).read && message(s, 1).address == 0x25 &&
                    message(s, 1).length == 2;
         }},
        {"i2c w3@0x25 0x50 0xff=", "i2c w3@0x25 0x50 0xff 0xff", {}},
        {"i2c w4@0x25 0x10+ r2@0x26", "i2c w4@0x25 0x10 0x11 0x12 0x13 r2@0x26", {}},
        {"i2c w3@0x25 0x03- # down", "i2c w3@0x25 0x03 0x02 0x01", {}},
        {"i2c w0@0x27", nullptr, {}},
        {"i2c w3@0x25 0x50 0x01 0x02 stop=1", nullptr,
         [](const Step& s) {
             return message(s, 0).breakOff == I2cMessage::Break::Stop &&
                    message(s, 0).breakAfter == 1;
         }},
        {"i2c w2@0x25 0x0b 0x80 sr=2 r4 nack=1", nullptr,
         [](const Step& s) {
             return message(s, 0).breakOff == I2cMessage::Break::RepeatedStart &&
                    message(s, 1).nackAt == 1 && message(s, 1).breakOff == I2cMessage::Break::None;
         }},
        {"i2c w2@0x25 0x50 0xff hang=0:40ms", nullptr,
         [](const Step& s) {
             return message(s, 0).breakOff == I2cMessage::Break::Hang &&
                    message(s, 0).breakAfter == 0 && message(s, 0).hangFor == 40000000;
         }},
        {"i2c r8@0x27 stop=7", nullptr, {}},
        {"select 3", nullptr, [](const Step& s) { return std::get<Select>(s).slot == 3; }},
        {"drive 13 low", nullptr,
         [](const Step& s) { return std::get<DrivePin>(s).drive == sim::Drive::Low; }},
        {"drive 0 high", nullptr, {}},
        {"drive 29 open", nullptr,
         [](const Step& s) { return std::get<DrivePin>(s).drive == sim::Drive::None; }},
        {"bounce 15 0us closed 120us open 50us closed",
         "bounce 15 0s closed 120us open 50us closed",
         [](const Step& s) {
             const Bounce& b = std::get<Bounce>(s);
             return b.pin == 15 && b.steps.size() == 3 && b.steps[1].delay == 120000 &&
                    !b.steps[1].closed && b.steps[2].closed;
         }},
        {"adc 1 2048", nullptr, {}},
        // Named as on the board: looked up when the step acts on one.
        {"drive din2 low", nullptr,
         [](const Step& s) { return std::get<DrivePin>(s).name == "din2"; }},
        {"bounce change_n 0us closed", "bounce change_n 0s closed",
         [](const Step& s) { return std::get<Bounce>(s).name == "change_n"; }},
        {"adc ain1 0x800", "adc ain1 2048",
         [](const Step& s) {
             const auto& a = std::get<SetAnalog>(s);
             return a.name == "ain1" && a.raw == 2048;
         }},
        {"adc 0 0x0fff", "adc 0 4095", {}},
        {"thermo 3 100", nullptr, {}},
        {"thermo 1 26.5", nullptr, {}},
        {"thermo 8 -273.15", nullptr,
         [](const Step& s) { return std::get<SetThermocouple>(s).celsius == -273.15; }},
        {"thermo 2 1e3", "thermo 2 1000", {}},
        {"thermo 2 open", nullptr, {}},
        {"thermo 3 frame=0x1230", nullptr,
         [](const Step& s) { return std::get<SetThermocouple>(s).frame == 0x1230; }},
        {"watchdog trigger", nullptr, {}},
        {"power cycle", nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const Step step = parseStep(c.line);
        const std::string printed = print(step);
        EXPECT_EQ(printed, c.printed ? c.printed : c.line);
        EXPECT_EQ(print(parseStep(printed)), printed);
        if (c.means) {
            EXPECT_TRUE(c.means(step));
        }
    }
}

TEST(ScenarioStep, WrongLinesSayWhy) {
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"bogus 1", "unknown command 'bogus'"},
        {"run 5", "bad duration '5' (a number with ns, us, ms or s)"},
        {"i2c w1@0x25 0x50 nack=0", "nack= is for a read message: 'nack=0'"},
        {"i2c r2@0x25 stop=2", "bytes before the break 2 out of range 0..1"},
        {"i2c w1@0x25 0x50 stop=1 sr=0", "one break per message: 'sr=0'"},
        {"i2c w1@0x25 0x50 hang=1",
         "hang needs its bytes and duration: hang=N:DURATION, got 'hang=1'"},
        {"i2c r4@0x25 nack=4", "refused byte 4 out of range 0..3"},
        {"bounce 15 0us", "usage: bounce N|NAME DELAY closed|open [DELAY closed|open]..."},
        {"bounce 15 0us shut", "bounce shut: closed or open"},
        {"bounce 30 0us open", "pin 30 out of range 0..29"},
        {"power off", "power off: only cycle"},
        {"thermo 9 20", "channel 9 out of range 1..8"},
    };
    for (const auto& c : cases) {
        try {
            parseStep(c.line);
            ADD_FAILURE() << c.line << ": parsed";
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()), c.error) << c.line;
        }
    }
}

TEST(ScenarioStep, OtherCommandsAreNotSteps) {
    int address = 0x25;
    Step step;
    for (const char* line : {"pin 11", "dac", "console", "time", "resets", "help"})
        EXPECT_FALSE(parseStep(splitWords(line), address, step)) << line;
    // A message without an address goes where the last line's went.
    ASSERT_TRUE(parseStep(splitWords("i2c r2"), address, step));
    EXPECT_EQ(print(step), "i2c r2@0x25");
}

} // namespace
