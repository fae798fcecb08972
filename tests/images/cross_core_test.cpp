// What the host sees while the board's two cores work at once: the I2C
// handler on core 1 serves values that the board's tasks on core 0 update
// and signal. A 16-bit value comes from one update whatever the timing, and
// the input-change line falls only once the word it announces is in place.
// On the real binary these are instruction-level races; on the host model
// only what falls between SDK calls shows.
#include "link_bench.h"

#ifdef ELF_IMAGE_DIR
#include "rp2040/rp2040.h"
#endif

#include <ostream>
#include <set>
#include <string>

namespace link_test {
namespace {

constexpr std::uint8_t kAddr = addressOfSlot(1);

// A published pair read again and again in runs while its source flips
// between two readings whose low and high bytes both differ: a pair made of
// two updates is neither of them.
struct PairCase {
    const char* image;
    std::uint8_t first; // low byte of the first pair of the run
    unsigned pairs;     // pairs per run, each from its own source
    std::set<std::uint16_t> values;
};

const PairCase kPairCases[] = {
    // Analog inputs 0 and 1, converted every 20 ticks: counts 0x1FF and 0x200.
    {"valdor", 0x70, 2, {0x1FF, 0x200}},
    // Thermocouple channels 1..8, scanned every 201 ms: 2.50 and 2.75 degrees.
    {"quillet", 0x80, 8, {250, 275}},
};

void PrintTo(const PairCase& c, std::ostream* os) {
    *os << c.image;
}

class PublishedPairs : public LinkTest, public ::testing::WithParamInterface<PairCase> {
protected:
    // Frames of 2.50 and 2.75 degrees (reading << 3, 0.25 degrees a step).
    static constexpr std::uint16_t kFrames[2] = {10u << 3, 11u << 3};

    void SetUp() override {
        board_ = &insert(GetParam().image, 1);
        if (board_->thermocouples())
            setFrames(0);
        else
            for (unsigned input = 0; input < 2; ++input)
                board_->analog().script(input, alternating(0x1FF, 0x200, 400));
        start(milliseconds(20));
    }
    static std::vector<std::uint16_t> alternating(std::uint16_t a, std::uint16_t b, int n) {
        std::vector<std::uint16_t> v;
        for (int i = 0; i < n; ++i)
            v.push_back(i % 2 == 0 ? a : b);
        return v;
    }
    void setFrames(unsigned which) {
        for (unsigned channel = 1; channel <= 8; ++channel)
            board_->thermocouples()->setFrame(channel, kFrames[which]);
    }

    sim::Board* board_ = nullptr;
};

TEST_P(PublishedPairs, EveryPairReadInARunIsOneUpdate) {
    const PairCase& c = GetParam();
    const Time end = now() + milliseconds(2500);
    unsigned runs = 0, changes = 0, torn = 0;
    std::vector<std::uint16_t> last(c.pairs, 0);
    unsigned flip = 0;
    Time nextFlip = now();
    while (now() < end) {
        // The converters change between scans at times of their own.
        if (board_->thermocouples() && now() >= nextFlip) {
            setFrames(++flip % 2);
            nextFlip += milliseconds(67);
        }
        const Bytes run = read(kAddr, c.first, 2 * c.pairs);
        ASSERT_EQ(run.size(), 2 * c.pairs);
        ++runs;
        for (unsigned p = 0; p < c.pairs; ++p) {
            const std::uint16_t v = static_cast<std::uint16_t>(run[2 * p] | run[2 * p + 1] << 8);
            if (c.values.count(v) == 0 && ++torn <= 5)
                ADD_FAILURE() << "run " << runs << " at " << sim::Recorder::formatTime(now())
                              << ": pair " << p << " reads 0x" << std::hex << v;
            changes += last[p] != 0 && v != last[p];
            last[p] = v;
        }
    }
    EXPECT_EQ(torn, 0u) << "of " << runs << " runs";
    // Enough updates fell among the reads for a torn pair to have shown.
    EXPECT_GT(runs, 1000u);
    EXPECT_GT(changes, c.pairs * (board_->thermocouples() ? 4u : 40u));
}

INSTANTIATE_TEST_SUITE_P(Images, PublishedPairs, ::testing::ValuesIn(kPairCases),
                         [](const auto& info) { return std::string(info.param.image); });

#ifdef ELF_IMAGE_DIR
// The writer of a pair halted between its two stores, as a debugger's
// watchpoint on the pair halts core 0: the handler on core 1 waits for the
// lock the writer holds and still serves one update. Only the real binary
// has stores to watch.
class WatchedPair : public PublishedPairs {};

TEST_P(WatchedPair, AHaltBetweenTheStoresOfAPairTearsNoRead) {
    auto& chip = static_cast<sim::rp2040::Rp2040&>(board_->chip());
    const auto* table = chip.elf().find("_regsArr");
    ASSERT_NE(table, nullptr);
    std::vector<std::uint8_t> entries(table->size);
    ASSERT_TRUE(chip.readMemory(table->address, entries.data(), table->size));
    std::uint32_t pair = 0; // the value byte of 0x70; 0x71's is three bytes on
    for (std::uint32_t k = 0; k + 2 < entries.size(); k += 3) {
        if (entries[k] == 0x70)
            pair = table->address + k + 1;
    }
    ASSERT_NE(pair, 0u);
    unsigned halts = 0;
    chip.core(0).watchStores(pair, 4, [&](std::uint32_t) {
        ++halts;
        chip.haltCore(0, microseconds(150));
    });
    const Time end = now() + milliseconds(1000);
    unsigned runs = 0, torn = 0;
    while (now() < end) {
        const Bytes run = read(kAddr, 0x70, 2);
        ASSERT_EQ(run.size(), 2u);
        ++runs;
        const std::uint16_t v = static_cast<std::uint16_t>(run[0] | run[1] << 8);
        if (v != 0x1FF && v != 0x200 && ++torn <= 5)
            ADD_FAILURE() << "run " << runs << ": 0x" << std::hex << v;
    }
    chip.core(0).watchStores(0, 0, {});
    EXPECT_EQ(torn, 0u) << "of " << runs << " runs";
    EXPECT_GE(halts, 90u); // both stores of 50 updates, about
}

INSTANTIATE_TEST_SUITE_P(Valdor, WatchedPair, ::testing::Values(kPairCases[0]),
                         [](const auto& info) { return std::string(info.param.image); });
#endif

// A host that reads the input word as soon as the change line falls gets
// the new word, even when the board's core 0 is held off right at the edge.
struct LineCase {
    const char* image;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.image;
}

class InputChangeLine : public LinkTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(InputChangeLine, FallsOnlyWithTheNewWordInPlace) {
    const LineCase& c = GetParam();
    sim::Board& board = insert(c.image, 1);
    const unsigned line = board.description().gpio(sim::PinUse::ChangeLine); // active low
    start(milliseconds(20));
    write(kAddr, 0x12, {0x00}); // acknowledge the start-up state: the line goes high
    runFor(milliseconds(1));
    ASSERT_TRUE(board.chip().gpio.level(line));

    Time fell = 0;
    const int listener = board.chip().gpio.addListener(1u << line, [&](unsigned, bool level) {
        if (!level && fell == 0) {
            fell = board.chip().now();
            board.chip().holdTasks(0, milliseconds(2));
        }
    });
    board.contact(board.description().gpio(sim::PinUse::DigitalIn, 0)).close();
    const Time limit = now() + milliseconds(1);
    while (fell == 0 && now() < limit)
        runFor(microseconds(1));
    ASSERT_NE(fell, 0u) << "the line did not fall";
    EXPECT_EQ(read(kAddr, 0x12, 2), (Bytes{0x01, 0x00}));
    EXPECT_LT(now(), fell + milliseconds(2)) << "the read ended after the hold";
    board.chip().gpio.removeListener(listener);
}

INSTANTIATE_TEST_SUITE_P(Images, InputChangeLine,
                         ::testing::Values(LineCase{"valdor"}, LineCase{"quillet"}),
                         [](const auto& info) { return std::string(info.param.image); });

} // namespace
} // namespace link_test
