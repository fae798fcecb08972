#include "interpreter.h"

#include "harness/command_words.h"

#include <cctype>
#include <istream>
#include <ostream>

namespace boardsim {

using sim::scenario::UsageError;

Interpreter::Interpreter(sim::Bench& bench, std::ostream& out, std::ostream& err)
    : bench_(bench), out_(out), err_(err), steps_(bench) {
    commands_ = {{"pin", &Interpreter::pin},         {"dac", &Interpreter::dac},
                 {"console", &Interpreter::console}, {"time", &Interpreter::time},
                 {"resets", &Interpreter::resets},   {"help", &Interpreter::help}};
}

void Interpreter::select(unsigned slot) {
    steps_.apply(sim::scenario::Select{slot});
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
    Args words = sim::scenario::splitWords(line);
    if (words.empty())
        return true;
    bool wasRunning = !bench_.failed();
    try {
        sim::scenario::Step s;
        if (sim::scenario::parseStep(words, lastAddress_, s)) {
            step(s);
        } else {
            auto it = commands_.find(words[0]);
            if (it == commands_.end())
                throw UsageError("unknown command '" + words[0] + "'");
            Args args(words.begin() + 1, words.end());
            (this->*(it->second))(args);
        }
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

void Interpreter::step(const sim::scenario::Step& step) {
    const std::optional<sim::I2cTransferRecord> transfer = steps_.apply(step);
    if (!transfer || bench_.failed())
        return;
    const sim::I2cTransferRecord& r = *transfer;
    for (const sim::I2cMessageRecord& m : r.messages) {
        if (m.nacked()) {
            out_ << "nack\n";
            break;
        }
        if (m.read && !r.stuck)
            out_ << sim::scenario::formatBytes(m.bytes) << "\n";
    }
    if (r.stuck)
        throw UsageError("the bus is stuck: a line stayed low and the master gave up");
}

unsigned Interpreter::pinOf(const std::string& word) {
    if (word.empty() || std::isdigit(static_cast<unsigned char>(word[0])))
        return static_cast<unsigned>(
            sim::scenario::parseInteger(word, 0, sim::kGpioCount - 1, "pin"));
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
    out_ << "time " << sim::scenario::formatMicroseconds(bench_.now()) << "\n";
}

void Interpreter::resets(const Args& args) {
    needArgs(args, 0, "resets");
    const auto& log = current().chip().resetLog();
    out_ << "resets " << log.size() << "\n";
    for (const auto& r : log)
        out_ << sim::scenario::formatMicroseconds(r.at) << " " << r.cause << "\n";
}

void Interpreter::help(const Args& args) {
    needArgs(args, 0, "help");
    out_ << sim::scenario::kStepHelp
         << "pin N|NAME                    the level of pin N (or din2, change_n, ...)\n"
            "                              and what drives it\n"
            "dac                           the converter's outputs\n"
            "console                       console lines since the last console\n"
            "time                          the virtual time\n"
            "resets                        the chip's resets with time and cause\n";
}

} // namespace boardsim
