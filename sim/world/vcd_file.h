// A Value Change Dump written while the run goes on: the variables are
// declared first, then only changes, in time order, at 1 ns resolution.
// Probes may tell of a change up to `hold` after it happened (the bus learns
// a byte's bits when its eighth bit is in); changes wait that long in a short
// queue, so the file never holds more than `hold` of the run in memory.
#pragma once

#include "engine/time.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sim {

class VcdFile {
public:
    using Var = std::size_t;

    // Throws std::runtime_error when the file cannot be written.
    VcdFile(const std::string& path, Time hold);
    ~VcdFile();
    VcdFile(const VcdFile&) = delete;
    VcdFile& operator=(const VcdFile&) = delete;

    // --- declarations, before begin() ------------------------------------------
    // A one-bit wire; levels are '0', '1', 'x' (unknown) and 'z' (undriven).
    Var wire(const std::string& name, char initial);
    // A real-valued signal.
    Var real(const std::string& name, double initial);
    // Closes the declarations and writes every variable's value at `at`.
    void begin(Time at);

    // --- changes ---------------------------------------------------------------
    void change(Time at, Var var, char level);
    void change(Time at, Var var, double value);
    // Writes what nothing earlier can follow any more: changes before now - hold.
    void advance(Time now);
    // Writes everything queued and the end time; nothing is written after.
    void finish(Time end);

    // Changes that came later than the hold allows; they are written at the
    // last time already in the file.
    std::size_t lateChanges() const { return late_; }

private:
    struct Value {
        bool real = false;
        char level = 'x';
        double number = 0;
        bool operator==(const Value& o) const {
            return real == o.real && level == o.level && number == o.number;
        }
    };
    struct Variable {
        std::string name;
        std::string id;
        Value value;
    };

    Var declare(const std::string& name, Value initial);
    void queue(Time at, Var var, Value value);
    void writeUntil(Time limit); // changes at times below `limit`
    void writeValue(const Variable& v);

    std::ofstream out_;
    Time hold_;
    std::vector<Variable> vars_;
    bool begun_ = false;
    bool finished_ = false;
    Time written_ = 0; // the last time in the file
    std::uint64_t order_ = 0;
    std::map<std::pair<Time, std::uint64_t>, std::pair<Var, Value>> queue_;
    std::size_t late_ = 0;
};

} // namespace sim
