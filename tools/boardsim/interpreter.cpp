#include "interpreter.h"

#include "parse.h"

#include <cctype>
#include <cstdlib>
#include <istream>
#include <ostream>

namespace boardsim {

Interpreter::Interpreter(sim::Bench& bench, std::ostream& out, std::ostream& err)
    : bench_(bench), out_(out), err_(err) {
    commands_ = {{"run", &Interpreter::run},
                 {"i2c", &Interpreter::i2c},
                 {"select", &Interpreter::selectCommand},
                 {"pin", &Interpreter::pin},
                 {"drive", &Interpreter::drive},
                 {"adc", &Interpreter::adc},
                 {"thermo", &Interpreter::thermo},
                 {"dac", &Interpreter::dac},
                 {"console", &Interpreter::console},
                 {"time", &Interpreter::time},
                 {"resets", &Interpreter::resets},
                 {"watchdog", &Interpreter::watchdog},
                 {"help", &Interpreter::help}};
}

void Interpreter::select(unsigned slot) {
    if (!bench_.board(slot))
        throw UsageError("slot " + std::to_string(slot) + " is empty");
    current_ = slot;
}

sim::Board& Interpreter::current() {
    sim::Board* b = bench_.board(current_);
    if (!b)
        throw UsageError("no board selected");
    return *b;
}

bool Interpreter::runScript(std::istream& in) {
    bool ok = true;
    std::string line;
    unsigned number = 0;
    while (std::getline(in, line))
        ok &= execute(line, ++number);
    return ok;
}

bool Interpreter::execute(const std::string& line, unsigned number) {
    Args words = splitWords(line);
    if (words.empty())
        return true;
    bool wasRunning = !bench_.failed();
    try {
        auto it = commands_.find(words[0]);
        if (it == commands_.end())
            throw UsageError("unknown command '" + words[0] + "'");
        Args args(words.begin() + 1, words.end());
        (this->*(it->second))(args);
    } catch (const std::exception& e) {
        out_.flush();
        err_ << "line " << number << ": " << e.what() << std::endl;
        return false;
    }
    out_.flush();
    if (wasRunning && bench_.failed()) {
        err_ << "line " << number << ": the simulation stopped: " << bench_.error() << std::endl;
        return false;
    }
    return true;
}

void Interpreter::needArgs(const Args& args, std::size_t n, const char* usage) const {
    if (args.size() != n)
        throw UsageError(std::string("usage: ") + usage);
}

void Interpreter::checkRunning() const {
    if (bench_.failed())
        throw UsageError("the simulation has stopped: " + bench_.error());
}

void Interpreter::run(const Args& args) {
    needArgs(args, 1, "run DURATION (10us, 5ms, 2s)");
    sim::Time d = parseDuration(args[0]);
    checkRunning();
    if (runner_)
        runner_(d);
    else
        bench_.run(d);
}

void Interpreter::i2c(const Args& args) {
    int address = lastAddress_;
    std::vector<sim::I2cMessage> messages = parseI2cTransfer(args, address);
    lastAddress_ = address;
    checkRunning();
    sim::I2cTransferRecord r = bench_.i2c(messages);
    if (bench_.failed())
        return;
    for (const sim::I2cMessageRecord& m : r.messages) {
        if (m.nacked()) {
            out_ << "nack\n";
            break;
        }
        if (m.read && !r.stuck)
            out_ << formatBytes(m.bytes) << "\n";
    }
    if (r.stuck)
        throw UsageError("the bus is stuck: a line stayed low and the master gave up");
}

void Interpreter::selectCommand(const Args& args) {
    needArgs(args, 1, "select SLOT");
    select(static_cast<unsigned>(parseInteger(args[0], 0, 7, "slot")));
}

unsigned Interpreter::pinOf(const std::string& word) {
    if (word.empty() || std::isdigit(static_cast<unsigned char>(word[0])))
        return static_cast<unsigned>(parseInteger(word, 0, sim::kGpioCount - 1, "pin"));
    sim::Board& board = current();
    if (const sim::PinDescription* p = board.description().pin(word))
        return p->gpio;
    throw UsageError(board.name() + " has no pin '" + word + "'");
}

void Interpreter::pin(const Args& args) {
    needArgs(args, 1, "pin N|NAME");
    const unsigned n = pinOf(args[0]);
    sim::Chip& chip = current().chip();
    std::string details = chip.gpio.describe(n);
    // "level 1, function sio, ..." without the level, which comes first.
    std::size_t comma = details.find(", ");
    if (comma != std::string::npos)
        details = details.substr(comma + 2);
    out_ << "pin " << args[0];
    if (args[0] != std::to_string(n))
        out_ << " (" << n << ")";
    out_ << ": " << (chip.gpio.level(n) ? 1 : 0) << " (" << details;
    if (chip.gpio.function(n) == sim::gpiofn::kPwm)
        out_ << "; channel " << (sim::Pwm::channelOf(n) ? 'B' : 'A') << " of "
             << chip.pwm.describe(sim::Pwm::sliceOf(n));
    out_ << ")\n";
}

void Interpreter::drive(const Args& args) {
    needArgs(args, 2, "drive N|NAME low|high|open");
    const unsigned n = pinOf(args[0]);
    sim::Drive d;
    if (args[1] == "low")
        d = sim::Drive::Low;
    else if (args[1] == "high")
        d = sim::Drive::High;
    else if (args[1] == "open")
        d = sim::Drive::None;
    else
        throw UsageError("drive " + args[1] + ": low, high or open");
    current().chip().gpio.drive(n, d);
}

void Interpreter::adc(const Args& args) {
    needArgs(args, 2, "adc N|NAME RAW");
    unsigned n = 0;
    if (!args[0].empty() && !std::isdigit(static_cast<unsigned char>(args[0][0]))) {
        sim::Board& board = current();
        const sim::PinDescription* p = board.description().pin(args[0]);
        if (!p || (p->use != sim::PinUse::AnalogIn && p->use != sim::PinUse::SlotCoding))
            throw UsageError(board.name() + " has no analog input '" + args[0] + "'");
        n = sim::adcInputOf(*p);
    } else {
        n = static_cast<unsigned>(
            parseInteger(args[0], 0, sim::AnalogSource::kInputs - 1, "ADC input"));
    }
    auto raw = static_cast<std::uint16_t>(parseInteger(args[1], 0, 4095, "reading"));
    current().analog().set(n, raw);
}

void Interpreter::thermo(const Args& args) {
    needArgs(args, 2, "thermo CH CELSIUS|open|frame=0xHHHH");
    sim::ThermocoupleBank* bank = current().thermocouples();
    if (!bank)
        throw UsageError(current().name() + " has no thermocouple converters");
    auto ch = static_cast<unsigned>(
        parseInteger(args[0], 1, sim::ThermocoupleBank::kChannels, "channel"));
    const std::string& v = args[1];
    if (v == "open") {
        bank->setOpen(ch);
    } else if (v.compare(0, 6, "frame=") == 0) {
        bank->setFrame(ch,
                       static_cast<std::uint16_t>(parseInteger(v.substr(6), 0, 0xffff, "frame")));
    } else {
        // From absolute zero to well past any thermocouple; nan and inf are
        // no temperatures.
        char* end = nullptr;
        double celsius = std::strtod(v.c_str(), &end);
        if (v.empty() || *end != '\0' || !(celsius >= -273.15 && celsius <= 2000))
            throw UsageError("bad temperature '" + v +
                             "' (degrees from -273.15 to 2000, open or frame=0xHHHH)");
        bank->setTemperature(ch, celsius);
    }
}

void Interpreter::dac(const Args& args) {
    needArgs(args, 0, "dac");
    sim::Dac* dac = current().dac();
    if (!dac)
        throw UsageError(current().name() + " has no DAC");
    out_ << "dac " << dac->describe() << "\n";
}

void Interpreter::console(const Args& args) {
    needArgs(args, 0, "console");
    for (const sim::ConsoleLine& l : current().chip().console.takeNew())
        out_ << l.text << "\n";
}

void Interpreter::time(const Args& args) {
    needArgs(args, 0, "time");
    out_ << "time " << formatMicroseconds(bench_.now()) << "\n";
}

void Interpreter::resets(const Args& args) {
    needArgs(args, 0, "resets");
    const auto& log = current().chip().resetLog();
    out_ << "resets " << log.size() << "\n";
    for (const auto& r : log)
        out_ << formatMicroseconds(r.at) << " " << r.cause << "\n";
}

// As a debugger writes the trigger bit: the chip resets at once.
void Interpreter::watchdog(const Args& args) {
    needArgs(args, 1, "watchdog trigger");
    if (args[0] != "trigger")
        throw UsageError("watchdog " + args[0] + ": only trigger");
    checkRunning();
    current().chip().watchdog.trigger();
}

} // namespace boardsim

namespace boardsim {

void Interpreter::help(const Args& args) {
    needArgs(args, 0, "help");
    out_ << "run DURATION                  advance virtual time (10us, 5ms, 2s)\n"
            "i2c MSG...                    one transfer: w<N>@<addr> <bytes...>, r<N>[@<addr>];\n"
            "                              a byte 0x10+ fills the rest of its write\n"
            "                              counting up, 0x10- down, 0x10= with copies\n"
            "select SLOT                   the board in SLOT becomes the current one\n"
            "pin N|NAME                    the level of pin N (or din2, change_n, ...)\n"
            "                              and what drives it\n"
            "drive N|NAME low|high|open    the world drives the pin\n"
            "adc N|NAME RAW                ADC input N (or ain0, slot) reads RAW (0..4095)\n"
            "thermo CH CELSIUS|open|frame=0xHHHH   converter of channel CH (1..8)\n"
            "dac                           the converter's outputs\n"
            "console                       console lines since the last console\n"
            "time                          the virtual time\n"
            "resets                        the chip's resets with time and cause\n"
            "watchdog trigger              reset the chip through its watchdog, as a debugger\n";
}

} // namespace boardsim
