#include "world/vcd_file.h"

#include <cstdio>
#include <stdexcept>

namespace sim {

namespace {

// Short identifier codes from the printable characters '!'..'~'.
std::string idCode(std::size_t n) {
    std::string id;
    do {
        id += static_cast<char>('!' + n % 94);
        n /= 94;
    } while (n);
    return id;
}

} // namespace

VcdFile::VcdFile(const std::string& path, Time hold) : out_(path), hold_(hold) {
    if (!out_)
        throw std::runtime_error("cannot write " + path);
    out_ << "$date boardsim run $end\n$version boardsim $end\n$timescale 1ns $end\n";
}

VcdFile::~VcdFile() {
    finish(written_);
}

VcdFile::Var VcdFile::declare(const std::string& name, Value initial) {
    if (begun_)
        throw std::logic_error("VCD variable " + name + " declared after the first change");
    vars_.push_back({name, idCode(vars_.size()), initial});
    return vars_.size() - 1;
}

VcdFile::Var VcdFile::wire(const std::string& name, char initial) {
    return declare(name, Value{false, initial, 0});
}

VcdFile::Var VcdFile::real(const std::string& name, double initial) {
    return declare(name, Value{true, 'x', initial});
}

void VcdFile::writeValue(const Variable& v) {
    if (v.value.real) {
        char text[32];
        std::snprintf(text, sizeof text, "r%.6g ", v.value.number);
        out_ << text << v.id << '\n';
    } else {
        out_ << v.value.level << v.id << '\n';
    }
}

void VcdFile::begin(Time at) {
    if (begun_)
        return;
    for (const Variable& v : vars_) {
        out_ << "$var " << (v.value.real ? "real 64 " : "wire 1 ") << v.id << ' ' << v.name
             << " $end\n";
    }
    out_ << "$enddefinitions $end\n#" << at << "\n$dumpvars\n";
    for (const Variable& v : vars_)
        writeValue(v);
    out_ << "$end\n";
    begun_ = true;
    written_ = at;
}

void VcdFile::queue(Time at, Var var, Value value) {
    if (!begun_ || finished_ || var >= vars_.size())
        return;
    if (at < written_) {
        ++late_;
        at = written_;
    }
    queue_.emplace(std::make_pair(at, order_++), std::make_pair(var, value));
}

void VcdFile::change(Time at, Var var, char level) {
    queue(at, var, Value{false, level, 0});
}

void VcdFile::change(Time at, Var var, double value) {
    queue(at, var, Value{true, 'x', value});
}

void VcdFile::advance(Time now) {
    if (now > hold_)
        writeUntil(now - hold_);
}

void VcdFile::writeUntil(Time limit) {
    while (!queue_.empty() && queue_.begin()->first.first < limit) {
        const Time at = queue_.begin()->first.first;
        // Of several changes of one variable at one time the last one holds.
        std::map<Var, Value> last;
        while (!queue_.empty() && queue_.begin()->first.first == at) {
            last[queue_.begin()->second.first] = queue_.begin()->second.second;
            queue_.erase(queue_.begin());
        }
        bool stamped = false;
        for (const auto& [var, value] : last) {
            Variable& v = vars_[var];
            if (v.value == value)
                continue;
            if (!stamped && at != written_)
                out_ << '#' << at << '\n';
            stamped = true;
            v.value = value;
            writeValue(v);
        }
        if (stamped)
            written_ = at;
    }
}

void VcdFile::finish(Time end) {
    if (finished_)
        return;
    if (!begun_)
        begin(0);
    writeUntil(kNever);
    if (end > written_)
        out_ << '#' << end << '\n';
    out_.flush();
    finished_ = true;
}

} // namespace sim
