#include "watch_iterator.h"

#include "errors.h"

#include <algorithm>
#include <thread>

namespace py = pybind11;
using boardhost::WatchEvent;

namespace pyboardhost {

namespace {

// Ctrl-C is seen within this while waiting.
constexpr auto kSignalStep = std::chrono::milliseconds(50);

} // namespace

py::object thermoValue(const boardhost::ThermoReading& r) {
    if (r.ok())
        return py::float_(r.hundredths / 100.0);
    return py::cast(r.fault);
}

WatchIterator::WatchIterator(PyBoard board, double interval, std::optional<long> count,
                             std::optional<double> seconds)
    : board_(std::move(board)), watch_(board_.board.descriptor()) {
    if (!(interval >= 0.001 && interval <= 60))
        raise(boardhost::Error::Kind::BadArgument,
              "interval " + py::repr(py::float_(interval)).cast<std::string>() +
                  " out of range 0.001..60 seconds");
    if (count && *count < 1)
        raise(boardhost::Error::Kind::BadArgument,
              "count " + std::to_string(*count) + " must be 1 or more");
    if (seconds && !(*seconds > 0))
        raise(boardhost::Error::Kind::BadArgument, "seconds must be more than 0");
    interval_ =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval));
    count_ = count.value_or(-1);
    start_ = Clock::now();
    deadline_ = seconds ? start_ + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(*seconds))
                        : Clock::time_point::max();
    next_ = nextBeat_ = start_;
}

void WatchIterator::stop() {
    stopped_ = true;
    pending_.clear();
    throw py::stop_iteration();
}

bool WatchIterator::waitUntil(Clock::time_point t) {
    for (;;) {
        if (PyErr_CheckSignals() != 0) {
            if (!PyErr_ExceptionMatches(PyExc_KeyboardInterrupt))
                throw py::error_already_set();
            PyErr_Clear();
            return false;
        }
        auto now = Clock::now();
        if (now >= t)
            return true;
        py::gil_scoped_release released;
        std::this_thread::sleep_until(std::min(t, now + kSignalStep));
    }
}

Event WatchIterator::next() {
    for (;;) {
        if (stopped_ || (count_ > 0 && given_ >= count_))
            stop();
        if (!pending_.empty()) {
            Event e = std::move(pending_.front());
            pending_.pop_front();
            ++given_;
            return e;
        }
        if (!waitUntil(std::min(next_, deadline_)) || Clock::now() >= deadline_)
            stop();
        bool beat = Clock::now() >= nextBeat_;
        if (beat)
            nextBeat_ = Clock::now() + boardhost::kWatchHeartbeat;
        std::vector<WatchEvent> events;
        boardhost::Status s =
            onBus(*board_.bus, [&] { return watch_.poll(board_.board, beat, events); });
        double t = std::chrono::duration<double>(Clock::now() - start_).count();
        for (const WatchEvent& e : events)
            pending_.push_back(toPython(e, t));
        if (!s) {
            stopped_ = true;
            raise(s.error());
        }
        next_ += interval_;
        if (next_ < Clock::now())
            next_ = Clock::now(); // fell behind: no burst of polls
    }
}

Event WatchIterator::toPython(const WatchEvent& e, double time) const {
    static const char* const kKinds[] = {"in", "ain", "thermo", "gone", "back", "reset"};
    Event out;
    out.kind = kKinds[static_cast<int>(e.kind)];
    out.time = time;
    out.text = boardhost::describe(e, board_.board.descriptor());
    switch (e.kind) {
    case WatchEvent::Kind::Inputs:
        out.value = py::int_(e.value);
        break;
    case WatchEvent::Kind::AnalogInput:
        out.channel = py::int_(e.channel);
        out.value = py::int_(e.value);
        break;
    case WatchEvent::Kind::Thermocouple:
        out.channel = py::int_(e.channel);
        out.value = thermoValue(boardhost::decodeThermo(e.value));
        out.raw = py::int_(e.value);
        break;
    case WatchEvent::Kind::Gone:
        out.error = py::str(e.error);
        break;
    case WatchEvent::Kind::Back:
    case WatchEvent::Kind::Reset:
        break;
    }
    return out;
}

} // namespace pyboardhost
