// A host finds a board at the address its slot voltage codes, and only there:
// every band edge of the slot coding, and no answer at all without a coding
// voltage.
#include "chip/gpio_access.h"
#include "link_bench.h"

namespace link_test {
namespace {

// An image with digital inputs, and its board's pins.
struct Image {
    const char* name;
    // Active low, released by a host write to 0x12.
    unsigned inputChangePin() const {
        return sim::boardDescriptionOf(name).gpio(sim::PinUse::ChangeLine);
    }
    unsigned input0() const { return sim::boardDescriptionOf(name).gpio(sim::PinUse::DigitalIn); }
};
const Image kImages[] = {{"valdor"}, {"quillet"}};

void PrintTo(const Image& image, std::ostream* os) {
    *os << image.name;
}

std::string imageName(const ::testing::TestParamInfo<Image>& info) {
    return info.param.name;
}

// Eight boards, one per slot, each with its own raw coding reading; `coded`
// gives the address each reading must give. Every board answers at its
// address and only there: the host finds exactly the eight addresses, and a
// write that releases the input-change line through one address releases it
// on the one board whose coding gives that address.
class Discovery : public LinkTest, public ::testing::WithParamInterface<Image> {
protected:
    void expectEachBoardAtItsAddress(const std::uint16_t (&raw)[8],
                                     const std::uint8_t (&coded)[8]) {
        const Image& image = GetParam();
        sim::Board* boards[8];
        for (unsigned slot = 0; slot < 8; ++slot)
            boards[slot] = &insert(image.name, slot, sim::SlotCoding::rawCount(raw[slot]));
        start();
        std::vector<std::uint8_t> all;
        for (std::uint8_t a = 0x20; a <= 0x27; ++a)
            all.push_back(a);
        EXPECT_EQ(answeringAddresses(), all);

        for (unsigned slot = 0; slot < 8; ++slot) {
            // Every board pulls its line low when it publishes its inputs at start.
            ASSERT_FALSE(boards[slot]->chip().gpio.level(image.inputChangePin()));
        }
        for (unsigned slot = 0; slot < 8; ++slot) {
            write(coded[slot], 0x12, {0x00});
            settle();
            for (unsigned other = 0; other < 8; ++other) {
                EXPECT_EQ(boards[other]->chip().gpio.level(image.inputChangePin()), other <= slot)
                    << "raw " << raw[other] << " after a write to 0x" << std::hex
                    << int(coded[slot]);
            }
        }
    }
};

// Lower bound included, upper bound excluded: 512-count bands with position
// 0 (address 0x27) at the top, the lowest band cut at 128.
TEST_P(Discovery, LowestReadingOfEachBand) {
    expectEachBoardAtItsAddress({3584, 3072, 2560, 2048, 1536, 1024, 512, 128},
                                {0x27, 0x26, 0x25, 0x24, 0x23, 0x22, 0x21, 0x20});
}

TEST_P(Discovery, HighestReadingOfEachBand) {
    expectEachBoardAtItsAddress({4095, 3583, 3071, 2559, 2047, 1535, 1023, 511},
                                {0x27, 0x26, 0x25, 0x24, 0x23, 0x22, 0x21, 0x20});
}

// Below 128 counts there is no position: no address, and the bus never hears
// from the board, however long it runs. A slot with no divider leaves the
// coding pin at ground.
TEST_P(Discovery, NoAnswerBelowTheLowestBand) {
    sim::Board& at127 = insert(GetParam().name, 0, sim::SlotCoding::rawCount(127));
    sim::Board& unwired = insert(GetParam().name, 1, sim::SlotCoding::none());
    start(milliseconds(50));
    EXPECT_TRUE(answeringAddresses().empty());
    EXPECT_TRUE(at127.chip().running());
    EXPECT_TRUE(unwired.chip().running());
}

// Without a position the board stays off the bus but its event loop runs:
// an input edge is published at once and again when its 10-tick window
// ends, each time pulling the input-change line, and the onboard LED shows
// 1750 ticks on, 250 off. No host can release the line here, so a debugger
// sets its output bit high before each publication.
TEST_P(Discovery, WithoutAPositionTheInputsAndTheLedStillRun) {
    const Image& image = GetParam();
    sim::Board* boards[] = {&insert(image.name, 0, sim::SlotCoding::rawCount(127)),
                            &insert(image.name, 1, sim::SlotCoding::none())};
    const Time edge = milliseconds(50) + microseconds(300);
    start(milliseconds(20));
    EXPECT_TRUE(answeringAddresses().empty());
    ASSERT_LT(now(), edge);
    runUntil(edge);
    for (sim::Board* board : boards) {
        sim::Gpio& gpio = board->chip().gpio;
        ASSERT_FALSE(gpio.level(image.inputChangePin())); // the publication at start
        sim::bank0::setOut(gpio, 1u << image.inputChangePin());
        board->contact(image.input0()).close();
    }
    runUntil(edge + milliseconds(1));
    for (sim::Board* board : boards)
        sim::bank0::setOut(board->chip().gpio, 1u << image.inputChangePin());
    const Time until = milliseconds(5100) + kStartUp;
    runUntil(until);
    for (sim::Board* board : boards) {
        const Timeline line = pinChanges(*board, image.inputChangePin(), edge);
        ASSERT_EQ(line.size(), 4u) << board->name();
        EXPECT_EQ(line[0], (std::pair<Time, bool>{edge, true})); // the debugger
        EXPECT_FALSE(line[1].second);
        EXPECT_TRUE(onTime(line[1].first, edge)) << board->name();
        EXPECT_EQ(line[2], (std::pair<Time, bool>{edge + milliseconds(1), true}));
        EXPECT_FALSE(line[3].second);
        EXPECT_TRUE(onTime(line[3].first, milliseconds(60), kStartUp)) << board->name();
        EXPECT_TRUE(sameTimeline(pinChanges(*board, 25), expectedBlink(-1, until)))
            << board->name();
    }
}

INSTANTIATE_TEST_SUITE_P(Images, Discovery, ::testing::ValuesIn(kImages), imageName);

class DiscoveryTiming : public LinkTest, public ::testing::WithParamInterface<const char*> {};

// The slot is read once at power-on and once a tick later; the two readings
// agree, so the link starts as soon as the second conversion is done. The
// host's address byte is complete 85 us after its START (half a clock
// period, then eight bits).
constexpr Time kAddressPhase = microseconds(85);

TEST_P(DiscoveryTiming, DeafUntilTheSecondSlotReadingIsDone) {
    insert(GetParam(), 5);
    start(kLinkUp - kAddressPhase - nanoseconds(1));
    EXPECT_TRUE(transfer({I2cMessage::write(addressOfSlot(5), {})}).nacked());
}

TEST_P(DiscoveryTiming, AnswersRightAfterIt) {
    insert(GetParam(), 5);
    // The real binary's link comes up to kStartUp later.
    start(kLinkUp + kStartUp - kAddressPhase + nanoseconds(1));
    EXPECT_EQ(read(addressOfSlot(5), 0xFD, 1), Bytes{0x00});
}

INSTANTIATE_TEST_SUITE_P(Images, DiscoveryTiming, ::testing::Values("valdor", "quillet"));
} // namespace
} // namespace link_test
