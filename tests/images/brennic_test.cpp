// brennic, the test build: its scan on its own select lines, the test line
// on the console every 2000 ticks, and what its select lines on GPIO20/21 do
// to the backplane bus.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "harness/bench.h"
#include "image_backend.h"

namespace {

using image_backend::kStartUp;
using image_backend::near;
using image_backend::onTime;
using image_backend::sameTimeline;

constexpr sim::Time US = 1000;
constexpr sim::Time MS = 1000 * US;
constexpr sim::Time FRAME = 131072; // ns: 16 clocks at 122 kHz
constexpr uint8_t ADDRESS = 0x27;   // slot 0
// The console: 115200 baud from clk_peri at 125 MHz, divisor 67 + 52/64.
constexpr sim::Time BIT = 8680;
// The board task reads its slot at once (two 2-us conversions in tick 0), and
// its set-up comes at the tick after, as on valdor and quillet.
constexpr sim::Time UP = 1002 * US;

class Brennic : public ::testing::Test {
protected:
    Brennic() : board(bench.insert(0, "brennic", image_backend::imagePath("brennic"))) {}

    void runUntil(sim::Time t) { ASSERT_TRUE(bench.runUntil(t)) << bench.error(); }

    struct Line {
        sim::Time at;
        std::string text;
        bool operator==(const Line& o) const { return at == o.at && text == o.text; }
    };
    friend std::ostream& operator<<(std::ostream& os, const Line& l) {
        return os << sim::Recorder::formatTime(l.at) << " " << l.text;
    }

    std::vector<Line> console() {
        std::vector<Line> out;
        for (const sim::Record& r : bench.recorder().select("console", board.name())) {
            out.push_back({r.at, r.text()});
        }
        return out;
    }

    // When a line began to leave the board: its record carries the time
    // the line's CR LF ended on UART0.
    sim::Time began(const Line& line) {
        const sim::Uart& uart = board.chip().uart0;
        return line.at - (line.text.size() + 2) * uart.characterBits() * uart.bitTime();
    }

    // The records of one kind for one pin of the board: (time, text).
    using Records = std::vector<std::pair<sim::Time, std::string>>;
    Records pinRecords(const std::string& kind, unsigned pin) {
        const std::string prefix = "GPIO" + std::to_string(pin);
        Records out;
        for (const sim::Record& r : bench.recorder().select(kind, board.name())) {
            const char after = r.text().size() > prefix.size() ? r.text()[prefix.size()] : ' ';
            if (r.text().compare(0, prefix.size(), prefix) == 0 && (after == '=' || after == ' ')) {
                out.emplace_back(r.at, r.text());
            }
        }
        return out;
    }

    // The first scan starts as it raises the enable line GPIO9.
    sim::Time firstScan() {
        const Records enable = pinRecords("pin", 9);
        return enable.empty() ? sim::kNever : enable.front().first;
    }

    sim::Bench bench;
    sim::Board& board;
};

TEST_F(Brennic, PrintsTheFirstThreeChannelsEveryTwoSeconds) {
    sim::ThermocoupleBank& bank = *board.thermocouples();
    bank.setTemperature(1, 25.25);
    bank.setOpen(2);
    bank.setTemperature(3, 0.0);
    bank.setTemperature(4, 300.0); // not printed
    bench.powerOn();
    runUntil(4500 * MS);
    bank.setTemperature(1, 30.0);
    bank.setFrame(3, 0x28F8); // out of range
    runUntil(6500 * MS);

    const std::string first = "temp1: 2525, temp2: 32772, temp3: 0";
    // The board task serves only its own events, and none arrives: the test
    // lines are all the board ever prints.
    const std::vector<Line> lines = console();
    std::vector<std::string> texts;
    for (const Line& l : lines) {
        texts.push_back(l.text);
    }
    ASSERT_EQ(texts,
              (std::vector<std::string>{first, first, "temp1: 3000, temp2: 32772, temp3: 32784"}));
    // MainTask (priority 1) starts its loop once the board task first
    // blocks, in tick 0: the first line comes 2000 ticks later, every next
    // one 2000 ticks after the last.
    EXPECT_TRUE(onTime(began(lines[0]), 2000 * MS, kStartUp));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(near(began(lines[i]) - began(lines[i - 1]), 2000 * MS)) << "line " << i;
    }
}

TEST_F(Brennic, ScansOnItsOwnPinsChannelKAtAddressKMinusOne) {
    sim::ThermocoupleBank& bank = *board.thermocouples();
    for (unsigned k = 1; k <= 8; ++k) {
        bank.setTemperature(k, 5.0 * k);
    }
    bench.powerOn();
    runUntil(11 * MS + kStartUp);
    // SPI0 data in on GPIO16 (pulled up for silent converters), clock on GPIO18.
    EXPECT_TRUE(sameTimeline(pinRecords("function", 16), Records{{UP, "GPIO16 spi"}}));
    EXPECT_TRUE(sameTimeline(pinRecords("function", 18), Records{{UP, "GPIO18 spi"}}));
    EXPECT_TRUE(board.chip().gpio.pulledUp(16));

    // Enable GPIO9, A0 GPIO17, A1 GPIO20, A2 GPIO21: address k - 1 for
    // channel k, one frame each, released at the end of the scan, which
    // starts 5 ticks after the set-up.
    const sim::Time scan = firstScan();
    EXPECT_TRUE(onTime(scan, UP - 2 * US + 5 * MS, kStartUp));
    auto at = [&](unsigned k) { return scan + (k - 1) * FRAME; };
    const sim::Time end = scan + 8 * FRAME;
    EXPECT_TRUE(
        sameTimeline(pinRecords("pin", 9),
                     Records{{at(1), "GPIO9=1 (sio drives)"}, {end, "GPIO9=0 (sio drives)"}}, 0));
    Records a0;
    for (unsigned k = 2; k <= 8; ++k) {
        a0.emplace_back(at(k),
                        std::string("GPIO17=") + ((k - 1) & 1 ? "1" : "0") + " (sio drives)");
    }
    a0.emplace_back(end, "GPIO17=0 (sio drives)");
    EXPECT_TRUE(sameTimeline(pinRecords("pin", 17), a0, 0));
    EXPECT_TRUE(sameTimeline(pinRecords("pin", 20),
                             Records{{at(3), "GPIO20=1 (sio drives)"},
                                     {at(5), "GPIO20=0 (sio drives)"},
                                     {at(7), "GPIO20=1 (sio drives)"},
                                     {end, "GPIO20=0 (sio drives)"}},
                             0));
    EXPECT_TRUE(
        sameTimeline(pinRecords("pin", 21),
                     Records{{at(5), "GPIO21=1 (sio drives)"}, {end, "GPIO21=0 (sio drives)"}}, 0));
    const std::vector<sim::Record> frames = bench.recorder().select("spi", board.name());
    ASSERT_EQ(frames.size(), 8u);
    for (unsigned k = 1; k <= 8; ++k) {
        EXPECT_TRUE(onTime(frames[k - 1].at, at(k))) << "frame " << k;
        char rx[16];
        std::snprintf(rx, sizeof rx, "rx=0x%04x", bank.frame(k));
        EXPECT_NE(frames[k - 1].text().find(rx), std::string::npos) << frames[k - 1].text();
    }
}

// brennic sets up no host link: nothing answers at its address, and GPIO20
// and GPIO21 never take the I2C function. From the moment the scan task
// drives them as select lines they hold the backplane's SDA and SCL low,
// except while a scan selects a channel with A1 or A2 set.
TEST_F(Brennic, WhatAHostSeesOnTheBus) {
    bench.powerOn();
    runUntil(600 * US);
    EXPECT_TRUE(bench.i2c({sim::I2cMessage::write(ADDRESS, {})}).nacked());
    EXPECT_FALSE(board.pullsSdaLow());
    EXPECT_FALSE(board.pullsSclLow());

    for (sim::Time t : {UP + 1 * MS + kStartUp, 500 * MS, 1000 * MS, 2500 * MS}) {
        runUntil(t);
        EXPECT_TRUE(board.pullsSdaLow()) << sim::Recorder::formatTime(t);
        EXPECT_TRUE(board.pullsSclLow()) << sim::Recorder::formatTime(t);
    }
    // Channel 7 (address 6) raises A1 and A2 for one frame of every scan;
    // the fourteenth scan starts 13 periods of 201 ms after the first.
    const sim::Time channel7 = firstScan() + 13 * 201 * MS + 6 * FRAME;
    runUntil(channel7 + FRAME / 2);
    ASSERT_EQ(bench.now(), channel7 + FRAME / 2);
    EXPECT_FALSE(board.pullsSdaLow());
    EXPECT_FALSE(board.pullsSclLow());

    EXPECT_TRUE(sameTimeline(pinRecords("function", 20), Records{{UP, "GPIO20 sio"}}));
    EXPECT_TRUE(sameTimeline(pinRecords("function", 21), Records{{UP, "GPIO21 sio"}}));
    EXPECT_EQ(console().front().text, "temp1: 0, temp2: 0, temp3: 0");
}

// The console is UART0, set up on GPIO0 (TX) and GPIO1 (RX) before the
// scheduler starts. Nothing leaves it before the first test line: the slot
// reading starts at once. The line leaves GPIO0 as 8N1 frames back to back,
// CR before LF, and its record ends with the last stop bit.
TEST_F(Brennic, TheConsoleCarriesOnlyTheTestLine) {
    bench.powerOn();
    runUntil(2 * MS + kStartUp);
    EXPECT_TRUE(sameTimeline(pinRecords("function", 0), Records{{0, "GPIO0 uart"}}));
    EXPECT_TRUE(sameTimeline(pinRecords("function", 1), Records{{0, "GPIO1 uart"}}));
    EXPECT_TRUE(pinRecords("pin", 0).empty() ||
                pinRecords("pin", 0).back().second.compare(0, 8, "GPIO0=1 ") == 0);
    // Both slot conversions are done within tick 0.
    EXPECT_EQ(board.analog().conversions(2), 2u);
    EXPECT_TRUE(onTime(pinRecords("pin", 25).at(0).first, UP, kStartUp));

    runUntil(2100 * MS);
    // Each start bit is the first fall of the line after the last stop bit;
    // every bit is read in its middle.
    Records edges;
    for (const auto& e : pinRecords("pin", 0)) {
        if (e.first > 2 * MS + kStartUp)
            edges.push_back(e);
    }
    auto levelAt = [&](sim::Time t) {
        bool level = true;
        for (const auto& [at, text] : edges) {
            if (at > t)
                break;
            level = text[6] == '1';
        }
        return level;
    };
    std::string sent;
    std::vector<sim::Time> starts;
    for (const auto& [at, text] : edges) {
        if (text[6] != '0' || (!starts.empty() && at < starts.back() + 19 * BIT / 2))
            continue;
        unsigned byte = 0;
        for (unsigned b = 0; b < 8; ++b)
            byte |= (levelAt(at + (3 + 2 * b) * BIT / 2) ? 1u : 0u) << b;
        EXPECT_TRUE(levelAt(at + 19 * BIT / 2)) << "stop bit of character " << starts.size();
        sent += static_cast<char>(byte);
        starts.push_back(at);
    }
    const std::string line = "temp1: 0, temp2: 0, temp3: 0";
    ASSERT_EQ(sent, line + "\r\n");
    EXPECT_TRUE(onTime(starts[0], 2000 * MS, kStartUp));
    for (std::size_t k = 1; k < starts.size(); ++k)
        EXPECT_EQ(starts[k], starts[0] + k * 10 * BIT) << "character " << k;
    ASSERT_EQ(console().size(), 1u);
    EXPECT_EQ(console().front(), (Line{starts.back() + 10 * BIT, line}));
}

// So a brennic must not share a backplane: with one in slot 0, a quillet in
// slot 1 cannot be read.
TEST_F(Brennic, ABoardBesideItCannotBeRead) {
    bench.insert(1, "quillet", image_backend::imagePath("quillet"));
    bench.powerOn();
    runUntil(100 * MS);
    EXPECT_NE(bench.readRegisters(0x26, 0x05, 1), (std::vector<uint8_t>{0x02}));

    sim::Bench alone;
    alone.insert(1, "quillet", image_backend::imagePath("quillet"));
    alone.powerOn();
    ASSERT_TRUE(alone.runUntil(100 * MS)) << alone.error();
    EXPECT_EQ(alone.readRegisters(0x26, 0x05, 1), (std::vector<uint8_t>{0x02}));
}

} // namespace
