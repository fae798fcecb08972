// A quillet in slot 1 (address 0x26) on the simulated backplane, and what
// its tests read off the world: pin levels, pin changes, console lines.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "harness/bench.h"
#include "image_backend.h"

namespace quillet {

constexpr sim::Time US = 1000;
constexpr sim::Time MS = 1000 * US;

constexpr uint8_t ADDRESS = 0x26; // slot 1

// The board's wiring, from its description.
inline const sim::BoardDescription& BOARD = sim::boardDescription(sim::BoardKind::Quillet);
inline const unsigned CHANGE_LINE = BOARD.gpio(sim::PinUse::ChangeLine);
inline const unsigned LED = BOARD.gpio(sim::PinUse::Led);
// Output n and input n of the board, by GPIO.
inline const std::vector<unsigned> DOUT = BOARD.gpios(sim::PinUse::DigitalOut);
inline const std::vector<unsigned> DIN = BOARD.gpios(sim::PinUse::DigitalIn);
// Converter-select lines A0, A1, A2, and the enable.
inline const std::vector<unsigned> ADDRESS_LINES = BOARD.gpios(sim::PinUse::SelectAddress);
inline const unsigned ENABLE = BOARD.gpio(sim::PinUse::SelectEnable);

// The first thermocouple scan starts 6 ms after power-on; one starts every
// 201 ms (the 200-tick pause begins in the tick the scan ends in); its eight
// frames of 16 clocks at 122 kHz follow each other without a gap.
constexpr sim::Time FIRST_SCAN = 6 * MS;
constexpr sim::Time SCAN_PERIOD = 201 * MS;
constexpr sim::Time FRAME = 131072; // ns

struct PinChange {
    sim::Time at;
    bool level;
    bool operator==(const PinChange& o) const { return at == o.at && level == o.level; }
};

inline std::ostream& operator<<(std::ostream& os, const PinChange& c) {
    return os << sim::Recorder::formatTime(c.at) << "=" << c.level;
}

// Whether `seen` is one change to `level` at `at`, on the elf backend up to
// the code time later.
inline ::testing::AssertionResult oneChange(const std::vector<PinChange>& seen, sim::Time at,
                                            bool level) {
    if (seen.size() == 1 && seen[0].level == level && image_backend::onTime(seen[0].at, at))
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult r = ::testing::AssertionFailure();
    r << "expected " << PinChange{at, level} << ", seen";
    for (const PinChange& c : seen)
        r << " " << c;
    return r;
}

// Whether `seen` is `expected` change by change, on the elf backend late by
// one common offset of at most `maxOffset` plus the code time.
inline ::testing::AssertionResult sameChanges(const std::vector<PinChange>& seen,
                                              const std::vector<PinChange>& expected,
                                              sim::Time maxOffset) {
    auto pairs = [](const std::vector<PinChange>& changes) {
        std::vector<std::pair<sim::Time, bool>> out;
        for (const PinChange& c : changes)
            out.emplace_back(c.at, c.level);
        return out;
    };
    return image_backend::sameTimeline(pairs(seen), pairs(expected), maxOffset);
}

class QuilletBench : public ::testing::Test {
protected:
    // `image` names the hardware around the chip: "quillet" brings the
    // converters, any other name a bare board running the same module.
    explicit QuilletBench(const std::string& image = "quillet")
        : board(bench.insert(1, image, image_backend::imagePath("quillet"))) {
        bench.powerOn();
    }

    void runUntil(sim::Time t) { ASSERT_TRUE(bench.runUntil(t)) << bench.error(); }

    // Lets the board's code act on what the host just did (elf backend only).
    void settle() {
        if (image_backend::kCodeTime > 0)
            runUntil(bench.now() + image_backend::kCodeTime);
    }

    bool level(unsigned pin) { return board.chip().gpio.level(pin); }

    // The output word as the nine output pins show it.
    uint32_t outputPins() {
        uint32_t word = 0;
        for (unsigned n = 0; n < DOUT.size(); ++n) {
            word |= level(DOUT[n]) ? 1u << n : 0;
        }
        return word;
    }

    // The recorded level changes of one pin from `from` on.
    std::vector<PinChange> changes(unsigned pin, sim::Time from = 0) {
        const std::string prefix = "GPIO" + std::to_string(pin) + "=";
        std::vector<PinChange> out;
        for (const sim::Record& r : bench.recorder().select("pin", board.name())) {
            if (r.at >= from && r.text().compare(0, prefix.size(), prefix) == 0) {
                out.push_back({r.at, r.text()[prefix.size()] == '1'});
            }
        }
        return out;
    }

    // Runs until the first thermocouple scan has begun and returns when it
    // did, as its enable line rose. Its time from power-on is
    // checked where it matters; a tick past the real binary's start-up
    // bounds the search.
    sim::Time firstScan() {
        const sim::Time latest = FIRST_SCAN + image_backend::kStartUp + MS;
        runUntil(std::max(bench.now(), FIRST_SCAN));
        while (changes(ENABLE).empty() && bench.now() < latest) {
            runUntil(bench.now() + 10 * US);
        }
        const std::vector<PinChange> enable = changes(ENABLE);
        EXPECT_FALSE(enable.empty()) << "no scan by " << sim::Recorder::formatTime(latest);
        return enable.empty() ? sim::kNever : enable.front().at;
    }
    std::vector<std::string> console() {
        std::vector<std::string> out;
        for (const sim::Record& r : bench.recorder().select("console", board.name())) {
            out.push_back(r.text());
        }
        return out;
    }

    std::vector<uint8_t> read(uint8_t reg, size_t n) {
        return bench.readRegisters(ADDRESS, reg, n);
    }

    sim::I2cTransferRecord write(uint8_t reg, std::vector<uint8_t> data) {
        sim::I2cTransferRecord r = bench.writeRegisters(ADDRESS, reg, std::move(data));
        EXPECT_FALSE(r.nacked() || r.stuck) << describe(r);
        settle();
        return r;
    }

    sim::Bench bench;
    sim::Board& board;
};

} // namespace quillet
