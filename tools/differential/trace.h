// What one backend showed while running a script: per step, the bus
// outcome as the host saw it, and every change the board made outside the
// chip (pins, pin functions, PWM, SPI frames, DAC commands, console lines,
// resets), each stream of events in time order.
#pragma once

#include "engine/time.h"
#include "world/record.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace differential {

using sim::Time;

// One record of the board's; it is compared by its fields.
using Event = sim::Record;

struct Trace {
    std::string backend; // names it in reports: "host", "elf"
    // Per step: for each message its address acknowledge (1/0), then for a
    // write each data byte's acknowledge, for a read each byte read.
    std::vector<std::vector<int>> outcomes;
    std::vector<std::string> transfers;                // per step, as a bus analyser shows it
    std::vector<Time> stepAt;                          // when each step began
    std::map<std::string, std::vector<Event>> streams; // "pin GPIO5", "spi", "dac", ...
    Time start = 0;                                    // the script's first step
    Time end = 0;                                      // the end of the compared window
    std::string error;                                 // the simulation stopped
};

} // namespace differential
