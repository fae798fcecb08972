// What a board says it offers: its JSON descriptor, read from register 0xFF.
#pragma once

#include "boardhost/result.h"

#include <string>

namespace boardhost {

struct Descriptor {
    std::string hardware; // "Pico"
    std::string version;  // "v"
    unsigned digitalOutputs = 0;
    unsigned digitalInputs = 0;
    unsigned analogOutputs = 0;
    unsigned analogOutputBits = 0;
    unsigned analogInputs = 0;
    unsigned thermocouples = 0;
    std::string text; // as the board sent it
};

// Kinds the library does not know are ignored, so newer boards still work
// for what they share with these.
Result<Descriptor> parseDescriptor(const std::string& text);

// "dout 12, din 4, aout 2 (12 bit), ain 2"
std::string summary(const Descriptor& d);

} // namespace boardhost
