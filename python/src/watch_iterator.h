// Board.watch(): boardhost::Watch paced as boardctl watch paces it, one
// event per next(). Waits with the GIL released and looks for signals
// between short steps, so Ctrl-C ends the iteration.
#pragma once

#include "bus.h"

#include "boardhost/watch.h"

#include <pybind11/pybind11.h>

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace pyboardhost {

struct Event {
    std::string kind; // "in", "ain", "thermo", "gone", "back", "reset"
    double time = 0;  // seconds since the watch started
    // None where the kind has none.
    pybind11::object channel = pybind11::none(), value = pybind11::none(), raw = pybind11::none(),
                     error = pybind11::none();
    std::string text;
};

// A reading as Python sees it: degrees as a float, or the ThermoFault.
pybind11::object thermoValue(const boardhost::ThermoReading& r);

class WatchIterator {
public:
    using Clock = std::chrono::steady_clock;

    WatchIterator(PyBoard board, double interval, std::optional<long> count,
                  std::optional<double> seconds);
    Event next();

private:
    // False when a KeyboardInterrupt came while waiting.
    bool waitUntil(Clock::time_point t);
    Event toPython(const boardhost::WatchEvent& e, double time) const;
    [[noreturn]] void stop();

    PyBoard board_;
    boardhost::Watch watch_;
    Clock::duration interval_;
    long count_;
    long given_ = 0;
    Clock::time_point start_, deadline_, next_, nextBeat_;
    std::deque<Event> pending_;
    bool stopped_ = false;
};

} // namespace pyboardhost
