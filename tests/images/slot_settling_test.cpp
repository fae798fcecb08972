// The slot reading settles before the board trusts it: readings one tick
// apart until two in a row differ by at most one count, and then the
// earlier reading of that pair counts. Scripted converter readings on the
// coding pin (ADC input 2); the board's start shows on the bus and on the
// onboard LED, which both begin right after the last reading.
#include "link_bench.h"

#include <string>

namespace link_test {
namespace {

constexpr unsigned kCodingInput = 2;

struct Settling {
    const char* name;
    std::vector<std::uint16_t> readings; // the last one stays
    unsigned readingsTaken;              // one per tick from power-on
    std::uint8_t address;
};

void PrintTo(const Settling& s, std::ostream* os) {
    *os << s.name;
}

// The board is up 2 us (one conversion) after the tick of its last reading.
Time upAfter(unsigned readings) {
    return milliseconds(readings - 1) + microseconds(2);
}

// n readings that jump by 100 counts, then a steady 1000.
std::vector<std::uint16_t> unsettled(unsigned n) {
    std::vector<std::uint16_t> r;
    for (unsigned i = 0; i < n; ++i)
        r.push_back(i % 2 == 0 ? 900 : 1000);
    r.push_back(1000);
    return r;
}

const Settling kCases[] = {
    // 1000 and 1001 agree: the result is 1000, after the second reading.
    {"AgreeAtOnce", {1000, 1001}, 2, 0x21},
    // 1000 and 1002 differ by two; 1002 and 1003 agree: the result is 1002.
    {"AgreeOnTheThird", {1000, 1002, 1003}, 3, 0x21},
    // Across a band edge the earlier reading of the pair decides: 1023 is
    // position 6, 1024 position 5, and so on.
    {"EarlierOfThePairUp", {1023, 1024}, 2, 0x21},
    {"EarlierOfThePairDown", {1024, 1023}, 2, 0x22},
    {"EarlierOfTheLastPair", {1021, 1023, 1024}, 3, 0x21},
    {"TwoCountsApartAtAnEdge", {2046, 2048, 2048}, 3, 0x24},
    // A voltage that keeps moving keeps the board sampling once per tick.
    {"SettlesAfterFiftyTicks", unsettled(50), 51, 0x21},
};

class SlotSettling : public LinkTest,
                     public ::testing::WithParamInterface<std::tuple<const char*, Settling>> {};

TEST_P(SlotSettling, BoardStartsAfterTheReadingsAgree) {
    const auto& [image, c] = GetParam();
    sim::Board& board = insert(image, 0);
    board.analog().script(kCodingInput, c.readings);
    const Time up = upAfter(c.readingsTaken);
    start(up - nanoseconds(1));
    EXPECT_TRUE(pinChanges(board, 25).empty());
    runUntil(up + kStartUp + milliseconds(5));
    EXPECT_EQ(board.analog().conversions(kCodingInput), c.readingsTaken);
    ASSERT_FALSE(pinChanges(board, 25).empty());
    EXPECT_TRUE(pinChanges(board, 25).front().second);
    EXPECT_TRUE(onTime(pinChanges(board, 25).front().first, up, kStartUp));
    if (std::string(image) != "brennic") {
        EXPECT_EQ(answeringAddresses(), std::vector<std::uint8_t>{c.address});
    }
}

std::string settlingName(const ::testing::TestParamInfo<SlotSettling::ParamType>& info) {
    return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

// brennic has no host link; its LED shows when the reading settled.
INSTANTIATE_TEST_SUITE_P(Readings, SlotSettling,
                         ::testing::Combine(::testing::Values("valdor", "quillet", "brennic"),
                                            ::testing::ValuesIn(kCases)),
                         settlingName);

// The position found at start holds for the life of the board: a coding
// voltage that changes later moves neither the address nor the LED code.
class SlotSettlingOnce : public LinkTest {};

TEST_F(SlotSettlingOnce, ReadingIsTakenOnlyAtStart) {
    sim::Board& board = insert("valdor", 0, sim::SlotCoding::rawCount(3000)); // position 2
    start(milliseconds(10));
    board.setCoding(sim::SlotCoding::rawCount(600)); // position 6
    runUntil(milliseconds(3600));
    EXPECT_EQ(board.analog().conversions(kCodingInput), 2u);
    EXPECT_EQ(answeringAddresses(), std::vector<std::uint8_t>{0x25});
    // Three flashes per cycle: on at 1001, 1401, 1801, the next cycle at 3501.
    const auto led = pinChanges(board, 25, milliseconds(1001));
    ASSERT_GE(led.size(), 7u);
    EXPECT_TRUE(led[6].second);
    EXPECT_TRUE(onTime(led[6].first, milliseconds(3501), kStartUp));
}

} // namespace
} // namespace link_test
