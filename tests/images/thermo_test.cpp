// quillet's thermocouple scan seen from outside: the select lines, the SPI
// frames on the converters' wires, and the results in 0x80..0x8F as the host
// reads them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "quillet_bench.h"

namespace quillet {
namespace {

// (time, "channel k" or "none"), as a logic analyser on the select lines
// would list them.
using Timeline = std::vector<std::pair<sim::Time, std::string>>;

class QuilletThermo : public QuilletBench {
protected:
    // What the select lines choose after every instant at which one of them
    // changed (the lines change together within one instant).
    Timeline selections() {
        const unsigned select[4] = {ADDRESS_LINES[0], ADDRESS_LINES[1], ADDRESS_LINES[2], ENABLE};
        bool lines[4] = {false, false, false, false};
        Timeline out;
        for (const sim::Record& r : bench.recorder().select("pin", board.name())) {
            bool ours = false;
            for (unsigned i = 0; i < 4; ++i) {
                const std::string prefix = "GPIO" + std::to_string(select[i]) + "=";
                if (r.text().compare(0, prefix.size(), prefix) == 0) {
                    lines[i] = r.text()[prefix.size()] == '1';
                    ours = true;
                }
            }
            if (!ours) {
                continue;
            }
            std::string channel = "none";
            if (lines[3]) {
                const unsigned address =
                    (lines[0] ? 1 : 0) | (lines[1] ? 2 : 0) | (lines[2] ? 4 : 0);
                for (unsigned k = 0; k < 8; ++k) {
                    if (BOARD.channelAddress[k] == address) {
                        channel = "channel " + std::to_string(k + 1);
                    }
                }
            }
            if (!out.empty() && out.back().first == r.at) {
                out.back().second = channel;
            } else {
                out.emplace_back(r.at, channel);
            }
        }
        return out;
    }

    std::vector<sim::Record> frames() { return bench.recorder().select("spi", board.name()); }

    // Channel k's 16-bit result, as the host reads its two registers.
    std::vector<uint16_t> results() {
        const std::vector<uint8_t> bytes = read(0x80, 16);
        std::vector<uint16_t> out;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            out.push_back(static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
        }
        return out;
    }

    sim::ThermocoupleBank& bank() { return *board.thermocouples(); }
};

TEST_F(QuilletThermo, EveryChannelLandsInItsOwnRegisters) {
    bank().setTemperature(1, 25.25);
    bank().setOpen(2);
    bank().setTemperature(3, 100.0);
    bank().setTemperature(4, 327.5);  // the largest value that fits
    bank().setTemperature(5, 327.75); // one step more
    bank().setTemperature(6, 0.0);
    bank().setFrame(7, 0x8000); // the sign bit set
    bank().setTemperature(8, 1023.75);

    // Before the first scan, as soon as the link is up (the real binary's
    // boot code adds to the host model's 1 ms).
    runUntil(2 * MS);
    while (bench.i2c({sim::I2cMessage::write(ADDRESS, {})}).nacked() &&
           bench.now() < 2 * MS + image_backend::kStartUp) {
        runUntil(bench.now() + 100 * US);
    }
    EXPECT_TRUE(changes(ENABLE).empty());
    EXPECT_EQ(results(), std::vector<uint16_t>(8, 0));
    runUntil(firstScan() + 8 * FRAME + image_backend::kCodeTime);
    EXPECT_EQ(results(),
              (std::vector<uint16_t>{2525, 0x8004, 10000, 32750, 0x8010, 0, 0x8010, 0x8010}));
    // Channel 3 alone, low byte first, as a host reads it.
    EXPECT_EQ(read(0x84, 2), (std::vector<uint8_t>{0x10, 0x27}));
}

TEST_F(QuilletThermo, EachScanSelectsTheChannelsInTurnOnePerFrame) {
    for (unsigned k = 1; k <= 8; ++k) {
        bank().setTemperature(k, 10.0 * k);
    }
    const sim::Time first = firstScan();
    EXPECT_TRUE(image_backend::onTime(first, FIRST_SCAN, image_backend::kStartUp));
    runUntil(first + 3 * SCAN_PERIOD + 10 * MS);

    // Nothing selected from the set-up of the lines until the first scan.
    Timeline expected;
    Timeline expectedFrames;
    for (unsigned scan = 0; scan < 4; ++scan) {
        const sim::Time start = first + scan * SCAN_PERIOD;
        for (unsigned k = 1; k <= 8; ++k) {
            const sim::Time at = start + (k - 1) * FRAME;
            expected.emplace_back(at, "channel " + std::to_string(k));
            char text[64];
            std::snprintf(text, sizeof text, "spi0 tx=0x0000 rx=0x%04x 16 bits mode 0, 131.072us",
                          bank().frame(k));
            expectedFrames.emplace_back(at, text);
        }
        expected.emplace_back(start + 8 * FRAME, "none");
    }
    // The converter answering each frame is the one selected for it, and no
    // other is selected at any moment of a scan or between scans.
    EXPECT_TRUE(image_backend::sameTimeline(selections(), expected, 0));
    Timeline seenFrames;
    for (const sim::Record& r : frames()) {
        seenFrames.emplace_back(r.at, r.text());
    }
    EXPECT_TRUE(image_backend::sameTimeline(seenFrames, expectedFrames, 0));
    for (unsigned k = 1; k <= 8; ++k) {
        EXPECT_EQ(bank().reads(k), 4u) << "channel " << k;
    }
}

TEST_F(QuilletThermo, AResultChangesOnlyWhenItsChannelIsReadAgain) {
    bank().setTemperature(3, 100.0);
    bank().setTemperature(4, 20.0);
    runUntil(100 * MS);
    bank().setTemperature(3, 50.0);
    runUntil(150 * MS);
    EXPECT_EQ(read(0x84, 4), (std::vector<uint8_t>{0x10, 0x27, 0xD0, 0x07}));
    // The read ends just before the second scan starts.
    runUntil(FIRST_SCAN + SCAN_PERIOD - 1 * MS);
    EXPECT_EQ(read(0x84, 4), (std::vector<uint8_t>{0x10, 0x27, 0xD0, 0x07}));
    ASSERT_LT(bench.now(), FIRST_SCAN + SCAN_PERIOD);
    // Channel 3's frame is through; the scans count from the start.
    runUntil(FIRST_SCAN + SCAN_PERIOD + 3 * FRAME + image_backend::kStartUp);
    EXPECT_EQ(read(0x84, 4), (std::vector<uint8_t>{0x88, 0x13, 0xD0, 0x07}));
}

// A converter that does not answer leaves the data line to the board's
// pull-up: the frame reads 0xFFFF and the channel reports an open input,
// never 0.00 degrees.
class QuilletWithoutConverters : public QuilletBench {
protected:
    QuilletWithoutConverters() : QuilletBench("quillet-without-converters") {}
};

TEST_F(QuilletWithoutConverters, SilentConvertersReadAsOpen) {
    ASSERT_EQ(board.thermocouples(), nullptr);
    runUntil(FIRST_SCAN + 8 * FRAME + image_backend::kStartUp);
    const std::vector<uint8_t> open = {0x04, 0x80};
    std::vector<uint8_t> all;
    for (int k = 0; k < 8; ++k) {
        all.insert(all.end(), open.begin(), open.end());
    }
    EXPECT_EQ(read(0x80, 16), all);
    const std::vector<sim::Record> spi = bench.recorder().select("spi", board.name());
    ASSERT_EQ(spi.size(), 8u);
    for (const sim::Record& r : spi) {
        EXPECT_NE(r.text().find("rx=0xffff"), std::string::npos) << r.text();
    }
}

// Of a frame only the open flag and the reading count: bits 1 and 0 change
// nothing.
TEST_F(QuilletThermo, BitsOneAndZeroOfAFrameAreNotChecked) {
    bank().setTemperature(1, 100.0);
    bank().setFrame(2, 0x0C82);
    bank().setFrame(3, 0x0C83);
    bank().setFrame(4, 0x0003);
    runUntil(FIRST_SCAN + 8 * FRAME + image_backend::kStartUp);
    EXPECT_EQ(read(0x80, 8),
              (std::vector<uint8_t>{0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0x00, 0x00}));
}

} // namespace
} // namespace quillet
