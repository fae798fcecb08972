// Which firmware the image tests run: the host build's image modules (.so)
// on the SDK/RTOS model, or, in image_tests_elf, the rp2040 build's .elf
// files instruction by instruction on the simulated chip. The tests are the
// same; only the image path and the time the code itself takes differ.
#pragma once

#include "engine/time.h"
#include "world/recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace image_backend {

#ifdef ELF_IMAGE_DIR
constexpr bool kElf = true;
#else
constexpr bool kElf = false;
#endif

// The image file of `image` ("valdor", "quillet", "brennic") for this backend.
inline std::string imagePath(const std::string& image) {
#ifdef ELF_IMAGE_DIR
    return std::string(ELF_IMAGE_DIR) + "/" + image + ".elf";
#else
    return std::string(BOARD_IMAGE_DIR) + "/" + image + ".so";
#endif
}

// How much later than the firmware's promise an effect may show when the
// code takes time: the interrupt, the task switches and the code up to the
// pin or register write. The longest seen is the board's set-up after its
// slot reading (about 225 us) and a feed waiting for the board's tasks of
// its priority on core 0. Zero on the host backend, where code takes no time.
constexpr sim::Time kCodeTime = kElf ? sim::microseconds(250) : 0;

// How much later than on the host backend the real binary's scheduler
// starts: its boot code (runtime init, clocks, the slot reading) runs first,
// and every tick-timed behaviour moves with the first tick.
constexpr sim::Time kStartUp = kElf ? sim::milliseconds(5) : 0;

// What a debugger's call into the firmware reports: nothing until it has
// returned, then whether it succeeded. Shared with the call's callback, so
// a call that returns after the test has gone on writes into no dead frame.
class CallResult {
public:
    std::function<void(bool)> callback() {
        return [r = result_](bool ok) { *r = ok; };
    }
    bool returned() const { return result_->has_value(); }
    bool succeeded() const { return result_->value_or(false); }

private:
    std::shared_ptr<std::optional<bool>> result_ = std::make_shared<std::optional<bool>>();
};

// Runs the board a microsecond at a time with `runFor` until `call` has
// returned, for at most a millisecond; whether it returned.
template <class RunFor>
bool awaitReturn(const CallResult& call, RunFor&& runFor) {
    for (int us = 0; us < 1000 && !call.returned(); ++us)
        runFor(sim::microseconds(1));
    return call.returned();
}

// Whether what `image` prints reaches a console: the real binaries of valdor
// and quillet link no stdio driver, so their printf goes nowhere; the host
// model's stdio shows every image's lines.
inline bool printsToConsole(const std::string& image) {
    return !kElf || image == "brennic";
}

// Whether `seen` is `expected` event by event, every event late by one
// common offset of at most `maxOffset` plus at most kCodeTime of its own.
// On the host backend both are zero: the timelines must be equal.
template <typename Value>
::testing::AssertionResult sameTimeline(const std::vector<std::pair<sim::Time, Value>>& seen,
                                        const std::vector<std::pair<sim::Time, Value>>& expected,
                                        sim::Time maxOffset = kStartUp) {
    std::ostringstream why;
    if (seen.size() != expected.size())
        why << seen.size() << " events instead of " << expected.size();
    sim::Time offset = sim::kNever;
    for (std::size_t i = 0; i < std::min(seen.size(), expected.size()); ++i) {
        if (seen[i].first < expected[i].first)
            why << "; event " << i << " early";
        else
            offset = std::min(offset, seen[i].first - expected[i].first);
    }
    if (offset != sim::kNever && offset > maxOffset + kCodeTime)
        why << "; offset " << sim::Recorder::formatTime(offset) << " beyond "
            << sim::Recorder::formatTime(maxOffset + kCodeTime);
    for (std::size_t i = 0; i < std::min(seen.size(), expected.size()); ++i) {
        if (seen[i].second != expected[i].second)
            why << "; event " << i << " has another value";
        else if (seen[i].first >= expected[i].first && offset != sim::kNever &&
                 seen[i].first - expected[i].first - offset > kCodeTime)
            why << "; event " << i << " late by "
                << sim::Recorder::formatTime(seen[i].first - expected[i].first - offset);
    }
    if (why.str().empty())
        return ::testing::AssertionSuccess();
    auto list = [](std::ostream& os, const std::vector<std::pair<sim::Time, Value>>& t) {
        for (const auto& e : t)
            os << " " << sim::Recorder::formatTime(e.first) << "=" << e.second;
    };
    ::testing::AssertionResult r = ::testing::AssertionFailure();
    std::ostringstream text;
    text << why.str() << "\n  seen:    ";
    list(text, seen);
    text << "\n  expected:";
    list(text, expected);
    return r << text.str();
}

// Whether an effect the firmware promises at `expected` came at `seen`: no
// earlier, and no later than kCodeTime plus `maxOffset` (the start-up
// offset, for times that count from power-on). Exact on the host backend.
inline ::testing::AssertionResult onTime(sim::Time seen, sim::Time expected,
                                         sim::Time maxOffset = 0) {
    if (seen >= expected && seen - expected <= maxOffset + kCodeTime)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "at " << sim::Recorder::formatTime(seen) << ", expected "
           << sim::Recorder::formatTime(expected) << " + up to "
           << sim::Recorder::formatTime(maxOffset + kCodeTime);
}

// Whether an effect the firmware times `ticks` ticks from the tick in which
// `cause` fell came at `seen`: more than ticks - 1 ticks after the cause and
// at most `ticks` ticks plus kCodeTime, and on the board's tick grid. `grid`
// is another tick-driven effect of the board, which shows the grid to within
// kCodeTime; without it the host model's grid is whole milliseconds from
// power-on, and the real binary's (from its scheduler's start, a fraction of
// a tick later) is left to the window. Exact on the host backend.
inline ::testing::AssertionResult ticksAfter(sim::Time seen, sim::Time cause, std::uint64_t ticks,
                                             std::optional<sim::Time> grid = std::nullopt) {
    const sim::Time tick = sim::milliseconds(1);
    const bool inWindow =
        seen > cause + (ticks - 1) * tick && seen <= cause + ticks * tick + kCodeTime;
    bool onGrid = true;
    if (grid || !kElf) {
        const sim::Time g = grid.value_or(0);
        const sim::Time off = (seen >= g ? seen - g : g - seen) % tick;
        onGrid = std::min(off, tick - off) <= kCodeTime;
    }
    if (inWindow && onGrid)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "at " << sim::Recorder::formatTime(seen) << ", expected in the tick " << ticks
           << " after that of " << sim::Recorder::formatTime(cause)
           << (onGrid ? "" : ", on the tick grid");
}

// Whether two times the firmware keeps equal differ by no more than the code
// time of one of them. Exact on the host backend.
inline ::testing::AssertionResult near(sim::Time seen, sim::Time expected) {
    const sim::Time apart = seen > expected ? seen - expected : expected - seen;
    if (apart <= kCodeTime)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << sim::Recorder::formatTime(seen) << " instead of "
                                         << sim::Recorder::formatTime(expected);
}

} // namespace image_backend
