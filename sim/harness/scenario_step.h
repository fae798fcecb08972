// The steps a host and the world take on a bench of boards, in one
// vocabulary for every tool that drives boards: boardsim's command lines
// are its text. Each step parses from one line and prints back to it.
//
//   run 5ms                          virtual time passes
//   i2c w1@0x25 0xfd r2              one transfer (see parseI2cTransfer)
//   select 2                         the board in slot 2 is the one acted on
//   drive 13 low|high|open           the world drives a pin (or drive din2 low)
//   bounce 15 0us closed 120us open  a contact to ground on a pin bounces
//   adc 1 2048                       an analog input reads a raw count (or adc ain1 2048)
//
// A pin or an analog input may be named as on the board (din2, change_n,
// ain1); the name is looked up in the description of the board the step
// acts on, when it acts.
//   thermo 3 100.25|open|frame=0x1f40   a thermocouple converter's channel
//   watchdog trigger                 the chip resets through its watchdog
//   power cycle                      the board loses power and comes back
#pragma once

#include "engine/time.h"
#include "chip/gpio.h"
#include "world/contact.h"
#include "world/i2c_transfer.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace sim::scenario {

struct Run {
    Time duration = 0;
};

struct Transfer {
    std::vector<I2cMessage> messages;
};

struct Select {
    unsigned slot = 0;
};

struct DrivePin {
    unsigned pin = 0;
    Drive drive = Drive::None;
    std::string name; // the pin's name on the board, when named; then `pin` is unused
};

struct Bounce {
    unsigned pin = 0;
    std::vector<Contact::Step> steps;
    std::string name;
};

struct SetAnalog {
    unsigned input = 0;
    std::uint16_t raw = 0;
    std::string name; // an analog pin's name (ain0, slot), when named
};

struct SetThermocouple {
    enum class Form { Celsius, Open, Frame };
    unsigned channel = 1;
    Form form = Form::Celsius;
    double celsius = 0;
    std::uint16_t frame = 0;
};

struct WatchdogTrigger {};
struct PowerCycle {};

using Step = std::variant<Run, Transfer, Select, DrivePin, Bounce, SetAnalog, SetThermocouple,
                          WatchdogTrigger, PowerCycle>;

// The step a line's words say, or nothing when the first word names no step
// (another command of the tool's own). A step with wrong arguments throws
// UsageError. `lastAddress` is the address an i2c message without one goes
// to (-1: none yet); it comes back with the last address used.
bool parseStep(const std::vector<std::string>& words, int& lastAddress, Step& step);
Step parseStep(const std::string& line);

// The line of a step; parseStep reads it back to the same step.
std::string print(const Step& step);

// What each step's line looks like, for a tool's help.
extern const char* const kStepHelp;

} // namespace sim::scenario
