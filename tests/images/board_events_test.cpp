// The board task serves its event queue one event at a time, in arrival
// order, whoever sent them (the host link, the input interrupt); a full
// queue drops events without doing harm; an event code the image does not
// know gets the warning on the console.
#include "link_bench.h"

#include <string>

namespace link_test {
namespace {

constexpr std::uint8_t kAddr = addressOfSlot(1);
// valdor's pins.
const sim::BoardDescription& kValdor = sim::boardDescription(sim::BoardKind::Valdor);
const unsigned kInputChange = kValdor.gpio(sim::PinUse::ChangeLine); // active low
const unsigned kInput0 = kValdor.gpio(sim::PinUse::DigitalIn, 0);
const unsigned kInput1 = kValdor.gpio(sim::PinUse::DigitalIn, 1);
const unsigned kOutput0 = kValdor.gpio(sim::PinUse::DigitalOut, 0);

class BoardEvents : public LinkTest {
protected:
    void SetUp() override {
        board_ = &insert("valdor", 1);
        start(milliseconds(20));
        write(kAddr, 0x12, {0x00}); // take note of the inputs: the line goes high
        settle();
        ASSERT_TRUE(board_->chip().gpio.level(kInputChange));
        runFor(milliseconds(1));
    }
    // What the board shows outside since `from`: the input-change line, output
    // channel 0 (GPIO11) and the converter's latched values, in order.
    std::vector<std::pair<Time, std::string>> effects(Time from) {
        std::vector<std::pair<Time, std::string>> out;
        for (const sim::Record& r : bench.recorder().records()) {
            if (r.at < from || r.source != board_->name())
                continue;
            const std::string head = r.text().substr(0, r.text().find(' '));
            if (r.kind() == "pin" && (head == "GPIO17=0" || head == "GPIO17=1" ||
                                      head == "GPIO11=0" || head == "GPIO11=1"))
                out.emplace_back(r.at, head);
            else if (r.kind() == "dac")
                out.emplace_back(r.at, r.text().substr(r.text().find("channel")));
        }
        return out;
    }
    using Effects = std::vector<std::pair<Time, std::string>>;

    sim::Board* board_ = nullptr;
};

// One write covering 0x50, 0x60 and 0x62 raises three events, the outputs'
// first: the pins change before the converter gets its two values.
TEST_F(BoardEvents, EventsOfOneWriteInCodeOrder) {
    const I2cTransferRecord w =
        write(kAddr, 0x50, {0x01, 0x00, 0x00, 0xEE, 0xEE, 0xEE, 0xFF, 0x0F, 0x00, 0x08});
    runFor(milliseconds(2));
    const Effects e = effects(w.start);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].second, "GPIO11=1");
    EXPECT_TRUE(onTime(e[0].first, w.end));
    EXPECT_EQ(e[1].second, "channel A value 4095");
    EXPECT_EQ(e[2].second, "channel B value 2048");
    EXPECT_LT(e[1].first, e[2].first);
}

// While the board task cannot run, an input edge, a host write to the
// outputs, a second edge and a write to analog output A queue up; when it
// runs again it serves them in that order at once.
TEST_F(BoardEvents, QueuedEventsAreServedInArrivalOrder) {
    const Time held = now();
    holdCore(*board_, 0, milliseconds(5));
    board_->contact(kInput0).close();
    runFor(microseconds(100));
    write(kAddr, 0x50, {0x01});
    board_->contact(kInput1).close();
    runFor(microseconds(100));
    write(kAddr, 0x60, {0xFF, 0x0F});
    EXPECT_TRUE(effects(held).empty());
    runUntil(held + milliseconds(8));
    const Time resumed = held + milliseconds(5);
    const Effects e = effects(held);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].second, "GPIO17=0");
    EXPECT_TRUE(onTime(e[0].first, resumed));
    EXPECT_EQ(e[1].second, "GPIO11=1");
    EXPECT_TRUE(onTime(e[1].first, resumed));
    EXPECT_EQ(e[2].second, "channel A value 4095");
    EXPECT_EQ(read(kAddr, 0x12, 1), Bytes{0x03});
}

// The same with the write first: now the outputs change before the line.
TEST_F(BoardEvents, AWriteBeforeAnEdgeIsServedFirst) {
    const Time held = now();
    holdCore(*board_, 0, milliseconds(3));
    write(kAddr, 0x50, {0x01});
    runFor(kCodeTime); // TWI-Task queues the write's event after the stop
    board_->contact(kInput0).close();
    runUntil(held + milliseconds(4));
    const Time resumed = held + milliseconds(3);
    EXPECT_TRUE(
        sameTimeline(effects(held), Effects{{resumed, "GPIO11=1"}, {resumed, "GPIO17=0"}}, 0));
}

// 300 edges of a bouncing contact while the board task is held fill the
// 250-item queue; the host's output event that comes after them is lost.
// Nothing breaks: the edges that got in are served, the debounced state is
// published, the stored output value is applied with the next output
// event, and the link goes on.
TEST_F(BoardEvents, FullQueueDropsEventsWithoutHarm) {
    const Time held = now();
    holdCore(*board_, 0, milliseconds(10));
    std::vector<sim::Contact::Step> bounce;
    for (int i = 0; i < 300; ++i)
        bounce.push_back({microseconds(20), i % 2 == 0});
    bounce.push_back({microseconds(20), true}); // settles closed
    board_->contact(kInput0).bounce(bounce);
    runFor(microseconds(20 * 302));
    write(kAddr, 0x50, {0x01}); // its event finds the queue full
    runUntil(held + milliseconds(40));
    EXPECT_FALSE(board_->chip().gpio.level(kOutput0));
    EXPECT_EQ(read(kAddr, 0x50, 1), Bytes{0x01});
    EXPECT_EQ(read(kAddr, 0x12, 1), Bytes{0x01});
    EXPECT_FALSE(board_->chip().gpio.level(kInputChange));
    EXPECT_TRUE(records("console", board_->name(), held).empty());

    const I2cTransferRecord w = write(kAddr, 0x51, {0x00});
    runFor(kCodeTime);
    EXPECT_TRUE(board_->chip().gpio.level(kOutput0));
    EXPECT_TRUE(sameTimeline(effects(w.start), Effects{{w.end, "GPIO11=1"}}, 0));
}

// Host activity goes into the queue before the other events of its write:
// with room for one event left by 249 edges, a heartbeat write that runs
// on into the outputs still counts (the start-up fading ends) and its
// output event is dropped; with the queue full, the heartbeat is lost too.
// Core 1 is held as well, so that TWI-Task meets the whole write at once.
class QueueRoom : public BoardEvents, public ::testing::WithParamInterface<int> {};

TEST_P(QueueRoom, AHeartbeatTakesTheLastPlaceInTheQueue) {
    const int edges = GetParam();
    ASSERT_EQ(board_->chip().gpio.function(1), sim::gpiofn::kPwm);
    const Time held = now();
    holdCore(*board_, 0, milliseconds(10));
    holdCore(*board_, 1, milliseconds(8));
    std::vector<sim::Contact::Step> bounce;
    for (int i = 0; i < edges; ++i)
        bounce.push_back({microseconds(20), i % 2 == 0});
    board_->contact(kInput0).bounce(bounce);
    runFor(microseconds(20) * (edges + 1));
    write(kAddr, 0x0B, {0x81, 0x00, 0x00, 0x01}); // 0x0B, 0x12, 0x13, 0x50
    runUntil(held + milliseconds(20));
    const bool kept = edges < 250;
    EXPECT_EQ(board_->chip().gpio.function(1), kept ? sim::gpiofn::kSio : sim::gpiofn::kPwm);
}

INSTANTIATE_TEST_SUITE_P(Edges, QueueRoom, ::testing::Values(249, 250));

// No input of any image produces an event code outside its set, so a
// debugger puts one into the board's event queue, as the firmware's own
// senders do, from a context on the board's core 0.
using ConsoleLines = std::vector<std::pair<Time, std::string>>;

class UnknownEvents : public LinkTest {
protected:
    // Posts `item` and lets the board run for `d`; the call must have been
    // made and found room.
    void post(sim::Board& board, std::uint16_t item, Time d = milliseconds(1)) {
        image_backend::CallResult sent;
        board.chip().sendToQueue(0, "_g_boardEventQHandle",
                                 {std::uint8_t(item), std::uint8_t(item >> 8)}, sent.callback());
        runFor(d);
        ASSERT_TRUE(sent.returned()) << "the call was not made";
        EXPECT_TRUE(sent.succeeded()) << "the queue had no room";
    }
    // Console lines since `from`, each with the time it was complete.
    ConsoleLines consoleSince(const sim::Board& board, Time from) {
        ConsoleLines out;
        for (const sim::Record& r : records("console", board.name(), from))
            out.emplace_back(r.at, r.text());
        return out;
    }
};

// valdor and quillet each have their own event switch: the first code past
// each one's set, a code with an argument byte (not part of the code) and
// 255 get the warning; a known code that shows nothing prints nothing, and
// an input edge that arrives this way is served as usual.
struct UnknownCodes {
    const char* image;
    std::uint16_t items[3];
    const char* codes[3];
    std::uint16_t silent; // valdor: host activity; quillet: host timeout
    unsigned inputChange;
};

const UnknownCodes kUnknownCodes[] = {
    {"valdor", {7, 0x0107, 0x00FF}, {"7", "7", "255"}, 0, 17},
    {"quillet", {5, 0x0F06, 0x00FF}, {"5", "6", "255"}, 1, 16},
};

void PrintTo(const UnknownCodes& c, std::ostream* os) {
    *os << c.image;
}

class UnknownEventCodes : public UnknownEvents,
                          public ::testing::WithParamInterface<UnknownCodes> {};

TEST_P(UnknownEventCodes, WarnsWithTheCodeAndGoesOn) {
    const UnknownCodes& c = GetParam();
    sim::Board& board = insert(c.image, 1);
    start(milliseconds(30));
    const Time from = now();
    const bool console = image_backend::printsToConsole(c.image);
    ConsoleLines expected;
    for (int i = 0; i < 3; ++i) {
        if (console)
            expected.emplace_back(now(), std::string("[WARN] Unbekanntes event: ") + c.codes[i]);
        post(board, c.items[i]);
    }
    EXPECT_TRUE(sameTimeline(consoleSince(board, from), expected, 0));
    post(board, c.silent);
    if (std::string(c.image) == "valdor") { // host activity ends the start-up fading
        EXPECT_EQ(board.chip().gpio.function(1), sim::gpiofn::kSio);
    }
    write(kAddr, 0x12, {0x00});
    settle();
    ASSERT_TRUE(board.chip().gpio.level(c.inputChange));
    post(board, 0x0F02); // an edge of GPIO15: published, the line pulled
    EXPECT_FALSE(board.chip().gpio.level(c.inputChange));
    EXPECT_TRUE(sameTimeline(consoleSince(board, from), expected, 0));
    write(kAddr, 0x00, {0x42});
    EXPECT_EQ(readOne(kAddr, 0x00), 0x42);
}

INSTANTIATE_TEST_SUITE_P(Images, UnknownEventCodes, ::testing::ValuesIn(kUnknownCodes),
                         [](const auto& info) { return std::string(info.param.image); });

// brennic serves host activity and the host timeout only; the output event
// that valdor and quillet know is unknown to it. Its console is UART0: the
// warning (27 characters, CR, LF) ends as its LF leaves the pin.
TEST_F(UnknownEvents, BrennicWarnsForAnOutputEvent) {
    sim::Board& board = insert("brennic", 1);
    start(milliseconds(30));
    const Time from = now();
    post(board, 4);
    post(board, 1, milliseconds(3));
    const Time end = from + 29 * kConsoleCharacter;
    EXPECT_TRUE(sameTimeline(consoleSince(board, from),
                             ConsoleLines{{end, "[WARN] Unbekanntes event: 4"}}, 0));
}

} // namespace
} // namespace link_test
