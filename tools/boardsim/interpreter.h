// boardsim's commands, one line at a time, on a bench of boards. Results go
// to `out`, errors (one line each, naming the line) to `err`.
#pragma once

#include "harness/bench.h"

#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace boardsim {

class Interpreter {
public:
    Interpreter(sim::Bench& bench, std::ostream& out, std::ostream& err);

    // The board commands act on.
    void select(unsigned slot);

    // `run DURATION` calls this with the duration instead of running the
    // world itself (a server runs it in slices between other clients).
    void deferRuns(std::function<void(sim::Time)> runner) { runner_ = std::move(runner); }

    // Runs one line; false when it failed (the error is printed).
    bool execute(const std::string& line, unsigned number);
    // Runs every line; false when any failed.
    bool runScript(std::istream& in);

private:
    using Args = std::vector<std::string>;
    using Command = void (Interpreter::*)(const Args&);

    sim::Board& current();
    void needArgs(const Args& args, std::size_t n, const char* usage) const;
    void checkRunning() const;

    void run(const Args& args);
    void i2c(const Args& args);
    void selectCommand(const Args& args);
    // A GPIO number, or a pin's name on the current board.
    unsigned pinOf(const std::string& word);
    void pin(const Args& args);
    void drive(const Args& args);
    void adc(const Args& args);
    void thermo(const Args& args);
    void dac(const Args& args);
    void console(const Args& args);
    void time(const Args& args);
    void resets(const Args& args);
    void watchdog(const Args& args);
    void help(const Args& args);

    sim::Bench& bench_;
    std::ostream& out_;
    std::ostream& err_;
    unsigned current_ = 0;
    int lastAddress_ = -1; // of the last i2c message, for messages without one
    std::map<std::string, Command> commands_;
    std::function<void(sim::Time)> runner_;
};

} // namespace boardsim
