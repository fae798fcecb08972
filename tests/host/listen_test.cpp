// The library on a simulated backplane served by boardsim --listen: the
// world is driven through a connection of its own, the host side through
// the library, and every check looks at both.
#include "served_backplane.h"

#include "boardhost/board.h"

#include <gtest/gtest.h>

namespace {

using boardhost::Board;
using boardhost::Error;
using hosttest::ServedBackplane;
using Lines = std::vector<std::string>;

// The level `pin N` reports.
int pinLevel(ServedBackplane& world, unsigned pin) {
    Lines l = world.command("pin " + std::to_string(pin));
    std::string head = "pin " + std::to_string(pin) + ": ";
    if (l.size() != 1 || l[0].compare(0, head.size(), head) != 0) {
        ADD_FAILURE() << "pin " << pin << " gave " << testing::PrintToString(l);
        return -1;
    }
    return l[0][head.size()] - '0';
}

// A valdor in slot 2 (0x25) and a quillet in slot 1 (0x26), their world
// running five times as fast as the wall clock.
class Backplane : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        served = new ServedBackplane({"valdor@2", "quillet@1"}, "5");
        // Long enough for both boards to find their slots, whatever the clock did.
        served->command("run 300ms");
        auto t = boardhost::SimTransport::connect(served->socket());
        ASSERT_TRUE(t.ok()) << t.error().message;
        host = t.value().release();
    }
    static void TearDownTestSuite() {
        delete host;
        delete served;
    }

    Board open(std::uint8_t address) {
        auto b = Board::open(*host, address);
        EXPECT_TRUE(b.ok()) << b.error().message;
        return std::move(b).value();
    }

    static ServedBackplane* served;
    static boardhost::SimTransport* host;
};

ServedBackplane* Backplane::served = nullptr;
boardhost::SimTransport* Backplane::host = nullptr;

TEST_F(Backplane, ScanFindsBothBoardsAndNothingElse) {
    auto found = boardhost::scan(*host);
    ASSERT_TRUE(found.ok()) << found.error().message;
    ASSERT_EQ(found->size(), 2u);
    EXPECT_EQ((*found)[0].address, 0x25);
    ASSERT_TRUE((*found)[0].descriptor.ok());
    EXPECT_EQ(summary(*(*found)[0].descriptor), "dout 12, din 4, aout 2 (12 bit), ain 2");
    EXPECT_EQ((*found)[1].address, 0x26);
    ASSERT_TRUE((*found)[1].descriptor.ok());
    EXPECT_EQ(summary(*(*found)[1].descriptor), "dout 9, din 6, thermo 8");
}

TEST_F(Backplane, AnAbsentBoardIsAnErrorNamingItsAddress) {
    auto b = Board::open(*host, 0x21);
    ASSERT_FALSE(b.ok());
    EXPECT_EQ(b.error().kind, Error::Kind::Absent);
    EXPECT_EQ(b.error().message, "no board at 0x21 on sim:" + served->socket());

    std::vector<boardhost::Message> probe{boardhost::Message::write(0x27, {0x00}),
                                          boardhost::Message::readBytes(0x27, 1)};
    boardhost::Status s = host->transfer(probe);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().kind, Error::Kind::Nack);
}

TEST_F(Backplane, OutputsReachTheirPins) {
    struct Case {
        std::uint8_t address;
        const char* slot;
        std::uint16_t mask;
        std::vector<std::pair<unsigned, int>> pins; // GPIO, level
    };
    const Case cases[] = {
        // valdor: channel i on GPIO 11 - i
        {0x25, "2", 0x009, {{11, 1}, {10, 0}, {8, 1}}},
        {0x25, "2", 0x002, {{11, 0}, {10, 1}, {8, 0}}},
        // quillet: channels 0, 1, 8 on GPIO 12, 22, 0
        {0x26, "1", 0x101, {{12, 1}, {22, 0}, {0, 1}}},
        {0x26, "1", 0x002, {{12, 0}, {22, 1}, {0, 0}}},
    };
    for (const Case& c : cases) {
        Board b = open(c.address);
        ASSERT_TRUE(b.setOutputs(c.mask).ok());
        served->command("run 2ms");
        served->command(std::string("select ") + c.slot);
        for (auto [pin, level] : c.pins)
            EXPECT_EQ(pinLevel(*served, pin), level) << "mask " << c.mask << " pin " << pin;
        auto back = b.outputs();
        ASSERT_TRUE(back.ok());
        EXPECT_EQ(*back, c.mask);
    }
    Board valdor = open(0x25);
    ASSERT_TRUE(valdor.setOutput(0, true).ok());
    served->command("run 2ms");
    served->command("select 2");
    EXPECT_EQ(pinLevel(*served, 11), 1);
    EXPECT_EQ(pinLevel(*served, 10), 1);
}

TEST_F(Backplane, InputsTheWorldDrivesAndTheAcknowledgedChangeLine) {
    Board b = open(0x25);
    served->command("select 2");
    ASSERT_TRUE(b.inputs().ok()); // whatever came before is acknowledged
    served->command("run 2ms");
    EXPECT_EQ(pinLevel(*served, 17), 1);

    served->command("drive 13 low"); // input 2
    served->command("run 50ms");
    EXPECT_EQ(pinLevel(*served, 17), 0);
    auto in = b.inputs();
    ASSERT_TRUE(in.ok()) << in.error().message;
    EXPECT_EQ(*in, 0x4);
    served->command("run 2ms");
    EXPECT_EQ(pinLevel(*served, 17), 1);

    served->command("drive 13 open");
    served->command("run 50ms");
    in = b.inputs();
    ASSERT_TRUE(in.ok());
    EXPECT_EQ(*in, 0x0);
}

TEST_F(Backplane, AnalogInputsAndOutputs) {
    Board b = open(0x25);
    served->command("select 2");
    served->command("adc 0 1234");
    served->command("adc 1 4095");
    served->command("run 50ms");
    auto all = b.analogInputs();
    ASSERT_TRUE(all.ok()) << all.error().message;
    EXPECT_EQ(*all, (std::vector<std::uint16_t>{1234, 4095}));
    auto one = b.analogInput(0);
    ASSERT_TRUE(one.ok());
    EXPECT_EQ(*one, 1234);

    ASSERT_TRUE(b.setAnalogOutput(0, 0).ok());
    ASSERT_TRUE(b.setAnalogOutput(1, 2048).ok());
    served->command("run 2ms");
    EXPECT_EQ(served->command("dac"), (Lines{"dac A=0 B=2048"}));
    EXPECT_FALSE(b.setAnalogOutput(1, 4096).ok());
    served->command("run 2ms");
    EXPECT_EQ(served->command("dac"), (Lines{"dac A=0 B=2048"}));
}

TEST_F(Backplane, ThermocoupleTemperaturesAndFaults) {
    struct Case {
        unsigned channel;
        const char* world;
        boardhost::ThermoFault fault;
        unsigned hundredths;
    };
    const Case cases[] = {
        {1, "25", boardhost::ThermoFault::None, 2500},
        {2, "open", boardhost::ThermoFault::OpenInput, 0},
        {3, "frame=0x0C82", boardhost::ThermoFault::None, 10000},
        {4, "frame=0x8000", boardhost::ThermoFault::OutOfRange, 0},
        {5, "330", boardhost::ThermoFault::OutOfRange, 0},
        {6, "100", boardhost::ThermoFault::None, 10000},
    };
    served->command("select 1");
    for (const Case& c : cases)
        served->command("thermo " + std::to_string(c.channel) + " " + c.world);
    served->command("run 600ms");
    Board b = open(0x26);
    auto all = b.thermocouples();
    ASSERT_TRUE(all.ok()) << all.error().message;
    for (const Case& c : cases) {
        const auto& r = (*all)[c.channel - 1];
        EXPECT_EQ(r.fault, c.fault) << "channel " << c.channel << ": " << describe(r);
        EXPECT_EQ(r.hundredths, c.hundredths) << "channel " << c.channel;
        auto one = b.thermocouple(c.channel);
        ASSERT_TRUE(one.ok());
        EXPECT_EQ(one->raw, r.raw);
    }
}

TEST_F(Backplane, TheWorldMovesWithTheWallClock) {
    auto now = [] {
        Lines l = served->command("time");
        return l.size() == 1 ? l[0] : std::string();
    };
    auto micros = [](const std::string& line) { return std::stod(line.substr(5)); };
    double first = micros(now());
    double later = first;
    // A bounded poll: at five times the wall clock it moves within a few.
    for (int i = 0; i < 100000 && later == first; ++i)
        later = micros(now());
    EXPECT_GT(later, first);
}

// A valdor whose world moves only when a command moves it, so that the
// moments around a reset are the same in every run.
class FrozenClock : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        served = new ServedBackplane({"valdor@2"}, "0");
        served->command("run 300ms");
    }
    static void TearDownTestSuite() { delete served; }
    static ServedBackplane* served;
};

ServedBackplane* FrozenClock::served = nullptr;

TEST_F(FrozenClock, TimeMovesOnlyByCommands) {
    Lines before = served->command("time");
    served->command("pin 11");
    EXPECT_EQ(served->command("time"), before);
    served->command("run 1ms");
    EXPECT_NE(served->command("time"), before);
}

TEST_F(FrozenClock, AWatchdogResetMidSessionIsSeenByTheHost) {
    auto t = boardhost::SimTransport::connect(served->socket());
    ASSERT_TRUE(t.ok());
    auto opened = Board::open(**t, 0x25);
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    Board& b = opened.value();
    auto first = b.heartbeat();
    auto second = b.heartbeat();
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_TRUE(first->fresh);
    EXPECT_FALSE(second->fresh);
    ASSERT_TRUE(b.setOutputs(0x00F).ok());
    served->command("run 2ms");
    served->command("select 2");

    served->command("watchdog trigger");
    auto gone = b.outputs();
    ASSERT_FALSE(gone.ok());
    EXPECT_EQ(gone.error().kind, Error::Kind::Nack);
    EXPECT_EQ(gone.error().message.rfind("board 0x25 did not acknowledge", 0), 0u)
        << gone.error().message;

    served->command("run 300ms");
    auto back = b.heartbeat();
    ASSERT_TRUE(back.ok()) << back.error().message;
    EXPECT_TRUE(back->fresh);
    auto outputs = b.outputs();
    ASSERT_TRUE(outputs.ok());
    EXPECT_EQ(*outputs, 0u);
    EXPECT_EQ(pinLevel(*served, 11), 0);
    Lines resets = served->command("resets");
    ASSERT_EQ(resets.size(), 2u);
    EXPECT_EQ(resets[0], "resets 1");
    EXPECT_NE(resets[1].find("watchdog trigger"), std::string::npos);
}

TEST_F(FrozenClock, ErrorsAnswerWithoutEndingTheSession) {
    auto t = boardhost::SimTransport::connect(served->socket());
    ASSERT_TRUE(t.ok());
    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        {"bogus", "line 1: unknown command 'bogus'"},
        {"watchdog kick", "line 2: watchdog kick: only trigger"},
        {"thermo 1 20", "line 3: valdor@2 has no thermocouple converters"},
    };
    for (const Case& c : cases) {
        auto r = (*t)->command(c.line);
        ASSERT_FALSE(r.ok()) << c.line;
        EXPECT_EQ(r.error().kind, Error::Kind::BadArgument);
        EXPECT_EQ(r.error().message, c.message);
    }
    auto after = (*t)->command("time");
    ASSERT_TRUE(after.ok());
    EXPECT_EQ(after->size(), 1u);
}

} // namespace
