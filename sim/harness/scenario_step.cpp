#include "harness/scenario_step.h"

#include "harness/command_words.h"
#include "world/analog_source.h"
#include "world/thermocouple_bank.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace sim::scenario {

namespace {

using Args = std::vector<std::string>;

void needArgs(const Args& args, std::size_t n, const char* usage) {
    if (args.size() != n)
        throw UsageError(std::string("usage: ") + usage);
}

bool isName(const std::string& word) {
    return !word.empty() && !std::isdigit(static_cast<unsigned char>(word[0]));
}

unsigned pinOf(const std::string& word) {
    return isName(word) ? 0 : static_cast<unsigned>(parseInteger(word, 0, kGpioCount - 1, "pin"));
}

std::string nameOf(const std::string& word) {
    return isName(word) ? word : std::string();
}

Step drive(const Args& args) {
    needArgs(args, 2, "drive N|NAME low|high|open");
    DrivePin s{pinOf(args[0]), Drive::None, nameOf(args[0])};
    if (args[1] == "low")
        s.drive = Drive::Low;
    else if (args[1] == "high")
        s.drive = Drive::High;
    else if (args[1] != "open")
        throw UsageError("drive " + args[1] + ": low, high or open");
    return s;
}

Step bounce(const Args& args) {
    if (args.size() < 3 || args.size() % 2 == 0)
        throw UsageError("usage: bounce N|NAME DELAY closed|open [DELAY closed|open]...");
    Bounce s{pinOf(args[0]), {}, nameOf(args[0])};
    for (std::size_t i = 1; i < args.size(); i += 2) {
        const Time delay = parseDuration(args[i]);
        if (args[i + 1] != "closed" && args[i + 1] != "open")
            throw UsageError("bounce " + args[i + 1] + ": closed or open");
        s.steps.push_back({delay, args[i + 1] == "closed"});
    }
    return s;
}

Step adc(const Args& args) {
    needArgs(args, 2, "adc N|NAME RAW");
    const unsigned input =
        isName(args[0]) ? 0
                        : static_cast<unsigned>(
                              parseInteger(args[0], 0, AnalogSource::kInputs - 1, "ADC input"));
    return SetAnalog{input, static_cast<std::uint16_t>(parseInteger(args[1], 0, 4095, "reading")),
                     nameOf(args[0])};
}

Step thermo(const Args& args) {
    needArgs(args, 2, "thermo CH CELSIUS|open|frame=0xHHHH");
    SetThermocouple s;
    s.channel =
        static_cast<unsigned>(parseInteger(args[0], 1, ThermocoupleBank::kChannels, "channel"));
    const std::string& v = args[1];
    if (v == "open") {
        s.form = SetThermocouple::Form::Open;
    } else if (v.compare(0, 6, "frame=") == 0) {
        s.form = SetThermocouple::Form::Frame;
        s.frame = static_cast<std::uint16_t>(parseInteger(v.substr(6), 0, 0xffff, "frame"));
    } else {
        // From absolute zero to well past any thermocouple; nan and inf are
        // no temperatures.
        char* end = nullptr;
        s.celsius = std::strtod(v.c_str(), &end);
        if (v.empty() || *end != '\0' || !(s.celsius >= -273.15 && s.celsius <= 2000))
            throw UsageError("bad temperature '" + v +
                             "' (degrees from -273.15 to 2000, open or frame=0xHHHH)");
    }
    return s;
}

// The shortest decimal that reads back to the same double.
std::string shortest(double v) {
    char text[64];
    for (int digits = 0; digits <= 24; ++digits) {
        std::snprintf(text, sizeof text, "%.*f", digits, v);
        if (std::strtod(text, nullptr) == v)
            break;
    }
    return text;
}

struct Printer {
    std::string operator()(const Run& s) const { return "run " + formatDuration(s.duration); }
    std::string operator()(const Transfer& s) const {
        return "i2c " + formatI2cTransfer(s.messages);
    }
    std::string operator()(const Select& s) const { return "select " + std::to_string(s.slot); }
    std::string operator()(const DrivePin& s) const {
        static const char* const kDrives[] = {"open", "low", "high"};
        return "drive " + (s.name.empty() ? std::to_string(s.pin) : s.name) + " " +
               kDrives[static_cast<int>(s.drive)];
    }
    std::string operator()(const Bounce& s) const {
        std::string out = "bounce " + (s.name.empty() ? std::to_string(s.pin) : s.name);
        for (const Contact::Step& b : s.steps)
            out += " " + formatDuration(b.delay) + (b.closed ? " closed" : " open");
        return out;
    }
    std::string operator()(const SetAnalog& s) const {
        return "adc " + (s.name.empty() ? std::to_string(s.input) : s.name) + " " +
               std::to_string(s.raw);
    }
    std::string operator()(const SetThermocouple& s) const {
        std::string out = "thermo " + std::to_string(s.channel) + " ";
        switch (s.form) {
        case SetThermocouple::Form::Open:
            return out + "open";
        case SetThermocouple::Form::Frame: {
            char text[16];
            std::snprintf(text, sizeof text, "frame=0x%04x", s.frame);
            return out + text;
        }
        case SetThermocouple::Form::Celsius:
            break;
        }
        return out + shortest(s.celsius);
    }
    std::string operator()(const WatchdogTrigger&) const { return "watchdog trigger"; }
    std::string operator()(const PowerCycle&) const { return "power cycle"; }
};

} // namespace

bool parseStep(const std::vector<std::string>& words, int& lastAddress, Step& step) {
    if (words.empty())
        return false;
    const std::string& name = words[0];
    const Args args(words.begin() + 1, words.end());
    if (name == "run") {
        needArgs(args, 1, "run DURATION (10us, 5ms, 2s)");
        step = Run{parseDuration(args[0])};
    } else if (name == "i2c") {
        int address = lastAddress;
        step = Transfer{parseI2cTransfer(args, address)};
        lastAddress = address;
    } else if (name == "select") {
        needArgs(args, 1, "select SLOT");
        step = Select{static_cast<unsigned>(parseInteger(args[0], 0, 7, "slot"))};
    } else if (name == "drive") {
        step = drive(args);
    } else if (name == "bounce") {
        step = bounce(args);
    } else if (name == "adc") {
        step = adc(args);
    } else if (name == "thermo") {
        step = thermo(args);
    } else if (name == "watchdog") {
        needArgs(args, 1, "watchdog trigger");
        if (args[0] != "trigger")
            throw UsageError("watchdog " + args[0] + ": only trigger");
        step = WatchdogTrigger{};
    } else if (name == "power") {
        needArgs(args, 1, "power cycle");
        if (args[0] != "cycle")
            throw UsageError("power " + args[0] + ": only cycle");
        step = PowerCycle{};
    } else {
        return false;
    }
    return true;
}

Step parseStep(const std::string& line) {
    const std::vector<std::string> words = splitWords(line);
    int address = -1;
    Step step;
    if (!parseStep(words, address, step))
        throw UsageError(words.empty() ? "no step" : "unknown command '" + words[0] + "'");
    return step;
}

std::string print(const Step& step) {
    return std::visit(Printer{}, step);
}

const char* const kStepHelp =
    "run DURATION                  advance virtual time (10us, 5ms, 2s)\n"
    "i2c MSG...                    one transfer: w<N>@<addr> <bytes...>, r<N>[@<addr>];\n"
    "                              a byte 0x10+ fills the rest of its write\n"
    "                              counting up, 0x10- down, 0x10= with copies;\n"
    "                              after a message stop=N, sr=N, hang=N:DURATION\n"
    "                              break it off after N bytes, nack=N refuses\n"
    "                              byte N of a read\n"
    "select SLOT                   the board in SLOT becomes the current one\n"
    "drive N|NAME low|high|open    the world drives the pin (din2, change_n, ...)\n"
    "bounce N|NAME DELAY closed|open...   a contact to ground on the pin, step by step\n"
    "adc N|NAME RAW                ADC input N (or ain0, slot) reads RAW (0..4095)\n"
    "thermo CH CELSIUS|open|frame=0xHHHH   converter of channel CH (1..8)\n"
    "watchdog trigger              reset the chip through its watchdog, as a debugger\n"
    "power cycle                   the board loses power and comes back\n";

} // namespace sim::scenario
