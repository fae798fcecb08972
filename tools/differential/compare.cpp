#include "compare.h"

#include "world/recorder.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

namespace differential {

namespace {

constexpr Time kTick = sim::milliseconds(1);
constexpr Time kCodeTime = sim::microseconds(250);
constexpr Time kStartUp = sim::milliseconds(5);

using Offset = std::int64_t;

std::string fmt(Offset t) {
    return (t < 0 ? "-" : "") + sim::Recorder::formatTime(static_cast<Time>(t < 0 ? -t : t));
}

std::size_t stepOf(const Trace& a, Time at) {
    const auto it = std::upper_bound(a.stepAt.begin(), a.stepAt.end(), at);
    return it == a.stepAt.begin() ? 0 : static_cast<std::size_t>(it - a.stepAt.begin()) - 1;
}

std::string steps(const Script& s, const Trace& a, const Trace& b, std::size_t mark) {
    std::ostringstream os;
    const std::size_t from = mark < 3 ? 0 : mark - 3;
    for (std::size_t k = from; k <= mark + 2 && k < s.steps.size(); ++k) {
        os << (k == mark ? "  > " : "    ") << "step " << k << " at +"
           << fmt(static_cast<Offset>(s.steps[k].at)) << ": " << s.steps[k].describe() << "\n";
        for (const Trace* t : {&a, &b}) {
            if (k < t->transfers.size() && !t->transfers[k].empty())
                os << "        " << t->backend << ": " << t->transfers[k] << "\n";
        }
    }
    return os.str();
}

std::string events(const Trace& t, const std::string& stream, std::size_t mark) {
    std::ostringstream os;
    const auto found = t.streams.find(stream);
    os << "    " << t.backend << " " << stream << ":";
    if (found == t.streams.end())
        return os.str() + " none\n";
    const auto& v = found->second;
    const std::size_t from = mark < 4 ? 0 : mark - 4;
    for (std::size_t k = from; k < v.size() && k <= mark + 4; ++k)
        os << "\n      " << (k == mark ? "> " : "  ") << sim::Recorder::formatTime(v[k].at) << " "
           << v[k].text();
    return os.str() + "\n";
}

// How `b` differs from `a`, naming the first field that does; empty when
// they agree. An SPI frame's received word is the world's answer, not the
// board's doing.
std::string difference(const Event& a, const Event& b) {
    if (a.data.index() != b.data.index())
        return "another record: " + b.text() + " instead of " + a.text();
    const sim::RecordFields x = a.fields();
    const sim::RecordFields y = b.fields();
    const bool spi = a.as<sim::SpiTransfer>() != nullptr;
    for (std::size_t i = 0; i < x.size() || i < y.size(); ++i) {
        if (i >= x.size() || i >= y.size() || x[i].name != y[i].name)
            return "fields " + b.text() + " instead of " + a.text();
        if ((spi && x[i].name == "rx") || x[i] == y[i])
            continue;
        return x[i].name + " " + y[i].text() + " instead of " + x[i].text() + " (" + b.text() +
               " instead of " + a.text() + ")";
    }
    return {};
}

// The first divergence of one stream, by the first trace's time.
struct StreamDivergence {
    bool found = false;
    Time at = 0;
    std::size_t ia = 0, ib = 0;
    std::string what;
};

const std::vector<Event>& streamOf(const Trace& t, const std::string& name) {
    static const std::vector<Event> kNone;
    const auto it = t.streams.find(name);
    return it == t.streams.end() ? kNone : it->second;
}

StreamDivergence compareStream(const std::vector<Event>& a, const std::vector<Event>& b, Time start,
                               Time end, const Tolerance& tol, Counts& counts) {
    StreamDivergence d;
    auto byTime = [](const Event& e, Time t) { return e.at < t; };
    const std::size_t a0 =
        static_cast<std::size_t>(std::lower_bound(a.begin(), a.end(), start, byTime) - a.begin());
    std::size_t n = a0;
    while (n < a.size() && a[n].at <= end)
        ++n;
    n -= a0;
    if (n == 0) {
        // Only events well inside the window can have no counterpart.
        for (std::size_t j = 0; j < b.size(); ++j) {
            if (b[j].at >= start + tol.offset + tol.jitter && b[j].at + tol.early <= end)
                return {true, b[j].at, a0, j, "an event the first trace lacks"};
        }
        return d;
    }
    // The second trace's counterpart of the first compared event: the first
    // of the same value within the tolerance, else the first not too early.
    const Time from = a[a0].at - std::min(a[a0].at, tol.early);
    std::size_t b0 =
        static_cast<std::size_t>(std::lower_bound(b.begin(), b.end(), from, byTime) - b.begin());
    for (std::size_t j = b0; j < b.size() && b[j].at <= a[a0].at + tol.offset + tol.jitter; ++j) {
        if (difference(a[a0], b[j]).empty()) {
            b0 = j;
            break;
        }
    }
    // One before it, well inside the window, has no counterpart.
    if (b0 > 0 && b[b0 - 1].at >= start + tol.offset + tol.jitter)
        return {true, b[b0 - 1].at, a0, b0 - 1,
                "an event the first trace lacks, or one early by more than the tolerance"};
    std::vector<Offset> late;
    for (std::size_t i = 0; i < n; ++i) {
        const Event& x = a[a0 + i];
        if (b0 + i >= b.size()) {
            d = {true, x.at, a0 + i, b.size(), "missing in the second trace"};
            break;
        }
        const Event& y = b[b0 + i];
        ++counts.events;
        const std::string differs = difference(x, y);
        if (!differs.empty()) {
            d = {true, x.at, a0 + i, b0 + i, differs};
            break;
        }
        late.push_back(static_cast<Offset>(y.at) - static_cast<Offset>(x.at));
    }
    if (!d.found && b0 + n < b.size() && b[b0 + n].at + tol.early <= end)
        d = {true, b[b0 + n].at, a0 + n, b0 + n, "an event the first trace lacks"};
    if (late.empty())
        return d;
    const Offset offset = *std::min_element(late.begin(), late.end());
    if (!d.found) {
        counts.leastOffset = std::min(counts.leastOffset, offset);
        counts.greatestOffset = std::max(counts.greatestOffset, offset);
        counts.greatestJitter =
            std::max(counts.greatestJitter, *std::max_element(late.begin(), late.end()) - offset);
    }
    for (std::size_t i = 0; i < late.size(); ++i) {
        std::string why;
        if (late[i] < -static_cast<Offset>(tol.early))
            why = "early by " + fmt(-late[i]);
        else if (i == 0 && offset > static_cast<Offset>(tol.offset))
            why =
                "common offset " + fmt(offset) + " beyond " + fmt(static_cast<Offset>(tol.offset));
        else if (late[i] - offset > static_cast<Offset>(tol.jitter))
            why = "late by " + fmt(late[i]) + ", " + fmt(late[i] - offset) +
                  " past the common offset " + fmt(offset);
        if (!why.empty()) {
            if (!d.found || a[a0 + i].at <= d.at)
                d = {true, a[a0 + i].at, a0 + i, b0 + i, why};
            break;
        }
    }
    return d;
}

} // namespace

std::string Tolerance::describe() const {
    return "events in order with equal values; per stream one common offset from " +
           fmt(-static_cast<Offset>(early)) + " to " + fmt(static_cast<Offset>(offset)) +
           ", each event at most " + fmt(static_cast<Offset>(jitter)) + " past it";
}

Tolerance realBinaryTolerance() {
    return {kTick + kCodeTime, kStartUp + kTick, kTick + kCodeTime};
}

Divergence compare(const Script& script, const Trace& a, const Trace& b, const Tolerance& tol,
                   Counts& counts) {
    Divergence d;
    const std::size_t nSteps = std::min(a.outcomes.size(), b.outcomes.size());
    counts.steps += nSteps;
    for (std::size_t k = 0; k < nSteps; ++k) {
        const auto& x = a.outcomes[k];
        const auto& y = b.outcomes[k];
        counts.bytes += std::min(x.size(), y.size());
        if (x != y) {
            d = {true, a.stepAt[k], k,
                 "step " + std::to_string(k) + ": the host saw another bus outcome",
                 steps(script, a, b, k)};
            break;
        }
    }
    if (!d.found &&
        (a.outcomes.size() != b.outcomes.size() || !a.error.empty() || !b.error.empty())) {
        const Trace& t = a.error.empty() ? b : a;
        d = {true, t.stepAt.empty() ? 0 : t.stepAt.back(), nSteps,
             t.backend + " stopped: " + t.error, steps(script, a, b, nSteps)};
    }
    std::vector<std::string> names;
    for (const Trace* t : {&a, &b})
        for (const auto& s : t->streams)
            names.push_back(s.first);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const std::string& name : names) {
        const StreamDivergence s =
            compareStream(streamOf(a, name), streamOf(b, name), a.start, a.end, tol, counts);
        if (!s.found || (d.found && d.at <= s.at))
            continue;
        const std::size_t k = stepOf(a, s.at);
        d = {true, s.at, k,
             name + " event " + std::to_string(s.ia) + " at " + sim::Recorder::formatTime(s.at) +
                 " (" + b.backend + " event " + std::to_string(s.ib) + "): " + s.what,
             events(a, name, s.ia) + events(b, name, s.ib) + steps(script, a, b, k)};
    }
    return d;
}

} // namespace differential
