// boardsim's commands, one line at a time, on a bench of boards: the steps
// of the scenario vocabulary (harness/scenario_step.h) and the questions a
// person asks the bench. Results go to `out`, errors (one line each, naming
// the line) to `err`.
#pragma once

#include "harness/bench.h"
#include "harness/scenario_runner.h"

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
    void deferRuns(std::function<void(sim::Time)> runner) { steps_.deferRuns(std::move(runner)); }

    // Runs one line; false when it failed (the error is printed).
    bool execute(const std::string& line, unsigned number);
    // Runs every line; false when any failed.
    bool runScript(std::istream& in);

private:
    using Args = std::vector<std::string>;
    using Command = void (Interpreter::*)(const Args&);

    sim::Board& current() { return steps_.current(); }
    void needArgs(const Args& args, std::size_t n, const char* usage) const;

    void step(const sim::scenario::Step& step);
    // A GPIO number, or a pin's name on the current board.
    unsigned pinOf(const std::string& word);
    void pin(const Args& args);
    void dac(const Args& args);
    void console(const Args& args);
    void time(const Args& args);
    void resets(const Args& args);
    void help(const Args& args);

    sim::Bench& bench_;
    std::ostream& out_;
    std::ostream& err_;
    sim::scenario::Runner steps_;
    int lastAddress_ = -1; // of the last i2c message, for messages without one
    std::map<std::string, Command> commands_;
};

} // namespace boardsim
