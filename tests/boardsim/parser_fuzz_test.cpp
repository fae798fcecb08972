// boardsim's parsers against malformed input: a seeded generator that bends
// well-formed command lines (every run the same), and the saved inputs that
// once broke a parser, replayed.
#include "parser_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

const char* const kLines[] = {
    "run 100ms",
    "run 1.5s",
    "run 10us",
    "i2c w1@0x25 0xfd r2",
    "i2c w3@0x25 0x50 0x01 0x00",
    "i2c w4@0x25 0x10+ r5",
    "i2c r2@0x27",
    "i2c w2@0x27 0x00= w1 0xff r1",
    "pin 11",
    "drive 13 low",
    "adc 0 1.65",
    "thermo 3 100",
    "select 2",
    "watchdog stall 2",
};

// Bends a line: drops, repeats, swaps or replaces characters, and splices
// in fragments that parsers find hard.
std::string mutate(std::string line, std::mt19937& rng) {
    static const char* const kFragments[] = {"0x",
                                             "-",
                                             "+",
                                             "=",
                                             "@",
                                             "1e400",
                                             ".",
                                             "..",
                                             "w0",
                                             "r0",
                                             "nan",
                                             "inf",
                                             "99999999999999999999",
                                             "0x7fffffffffffffff",
                                             "s",
                                             "ns",
                                             "@0x80",
                                             "#",
                                             "\t",
                                             "\xff"};
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    const int edits = static_cast<int>(pick(4)) + 1;
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = line.empty() ? 0 : pick(line.size() + 1);
        switch (pick(5)) {
        case 0:
            if (!line.empty() && at < line.size())
                line.erase(at, 1 + pick(3));
            break;
        case 1:
            line.insert(at, kFragments[pick(sizeof kFragments / sizeof *kFragments)]);
            break;
        case 2:
            if (at < line.size())
                line[at] = static_cast<char>(pick(256));
            break;
        case 3:
            line.insert(at, line.substr(0, pick(line.size() + 1)));
            break;
        default:
            line.insert(at, std::to_string(static_cast<long long>(rng()) - (1ll << 31)));
            break;
        }
    }
    return line;
}

TEST(BoardsimParserFuzz, BentCommandLinesGiveUsageErrorsOnly) {
    std::mt19937 rng(20261208);
    std::size_t errors = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = mutate(kLines[rng() % (sizeof kLines / sizeof *kLines)], rng);
        ASSERT_NO_THROW(errors += boardsim_fuzz::parseScript(line)) << "line '" << line << "'";
    }
    // The generator does reach the error paths.
    EXPECT_GT(errors, 20000u);
}

TEST(BoardsimParserFuzz, WellFormedLinesParse) {
    int address = -1;
    for (const char* line : kLines) {
        const std::vector<std::string> words = sim::scenario::splitWords(line);
        if (words[0] != "i2c")
            continue;
        EXPECT_NO_THROW(sim::scenario::parseI2cTransfer({words.begin() + 1, words.end()}, address))
            << line;
    }
    EXPECT_EQ(sim::scenario::parseDuration("1.5s"), sim::milliseconds(1500));
}

TEST(BoardsimParserFuzz, SavedCrashersAreHandled) {
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS_DIR)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_NO_THROW(boardsim_fuzz::parseScript(text.str())) << entry.path();
        ++replayed;
    }
    EXPECT_GT(replayed, 0u);
}

} // namespace
