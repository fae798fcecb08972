// boardctl against boardsim --listen: its commands in-process (output, errors,
// exit status), and watch as the program a shell runs.
#include "commands.h"
#include "fake_bus.h"
#include "served_backplane.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using hosttest::Child;
using hosttest::ServedBackplane;
using Args = std::vector<std::string>;

// A valdor in slot 2 (0x25), a quillet in slot 1 (0x26), and a world set up
// before the first command: input 1 closed, analog inputs at 100 and 200,
// thermocouple 2 open and 3 at 100 degrees.
class Boardctl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        served = new ServedBackplane({"valdor@2", "quillet@1"}, "5");
        for (const char* line : {"select 2", "drive 14 low", "adc 0 100", "adc 1 200", "select 1",
                                 "thermo 2 open", "thermo 3 100", "run 600ms"})
            served->command(line);
    }
    static void TearDownTestSuite() { delete served; }

    struct Outcome {
        int status;
        std::string out;
        std::string err;
    };
    static Outcome run(Args args) {
        args.insert(args.begin(), {"--sim", served->socket()});
        std::ostringstream out, err;
        int status = boardctl::run(args, out, err);
        return {status, out.str(), err.str()};
    }

    static ServedBackplane* served;
};

ServedBackplane* Boardctl::served = nullptr;

// In order: later rows see what earlier ones set.
TEST_F(Boardctl, CommandsOutputAndExitStatus) {
    struct Case {
        Args args;
        int status;
        std::string out;
        std::string err; // the start of what goes to standard error
    };
    const Case cases[] = {
        {{"scan"},
         0,
         "0x25  Pico v0.2  dout 12, din 4, aout 2 (12 bit), ain 2\n"
         "0x26  Pico v0.1  dout 9, din 6, thermo 8\n",
         ""},
        {{"out", "0x25", "0x801"}, 0, "", ""},
        {{"out", "0x25"}, 0, "0x801\n", ""},
        {{"out", "0x25", "0=0", "1=1"}, 0, "", ""},
        {{"out", "0x25"}, 0, "0x802\n", ""},
        {{"out", "0x26", "8=1"}, 0, "", ""},
        {{"out", "0x26"}, 0, "0x100\n", ""},
        {{"out", "0x25", "12=1"}, 1, "", "boardctl: board 0x25 has outputs 0..11\n"},
        {{"out", "0x25", "0x1000"}, 1, "", "boardctl: mask 0x1000 has bits beyond the 12"},
        {{"out", "0x25", "3=2"},
         2,
         "",
         "boardctl: output 3 needs 0 or 1, got '2' (boardctl --help shows the usage)\n"},
        {{"in", "0x25"}, 0, "0x2\n", ""},
        {{"in", "0x25", "1"}, 0, "1\n", ""},
        {{"in", "0x25", "4"}, 1, "", "boardctl: input 4 out of range"},
        {{"aout", "0x25", "1", "4095"}, 0, "", ""},
        {{"aout", "0x25", "2", "1"},
         1,
         "",
         "boardctl: analog output 2 out of range 0..1 on board 0x25\n"},
        {{"aout", "0x25", "0", "4096"},
         1,
         "",
         "boardctl: analog value 4096 out of range 0..4095\n"},
        {{"aout", "0x26", "0", "1"}, 1, "", "boardctl: board 0x26 has no analog outputs\n"},
        {{"aout", "0x25", "0"},
         2,
         "",
         "boardctl: usage: boardctl aout ADDR CH VALUE (boardctl --help shows the usage)\n"},
        {{"ain", "0x25"}, 0, "0 100\n1 200\n", ""},
        {{"ain", "0x25", "1"}, 0, "200\n", ""},
        {{"thermo", "0x26", "3"}, 0, "100.00\n", ""},
        {{"thermo", "0x26", "2"}, 1, "", "boardctl: thermocouple 2 of 0x26: open input (0x8004)\n"},
        {{"thermo", "0x26", "9"}, 1, "", "boardctl: thermocouple 9 out of range 1..8"},
        {{"thermo", "0x25"}, 1, "", "boardctl: board 0x25 has no thermocouples\n"},
        {{"info", "0x21"}, 1, "", "boardctl: no board at 0x21 on sim:"},
        {{"info", "0x25", "extra"},
         2,
         "",
         "boardctl: usage: boardctl info ADDR (boardctl --help shows the usage)\n"},
        {{"info", "0x99"}, 2, "", "boardctl: address 0x99 out of range"},
        {{"frobnicate"},
         2,
         "",
         "boardctl: unknown command 'frobnicate' (boardctl --help shows the usage)\n"},
        {{"scan", "--count", "3"}, 2, "", "boardctl: --count, --for and --interval go with watch"},
        {{"scan", "--interval", "5"},
         2,
         "",
         "boardctl: --count, --for and --interval go with watch"},
        {{"--bus", "/dev/i2c-1", "scan"}, 2, "", "boardctl: --bus and --sim exclude each other"},
        {{"scan", "--timeout", "0"}, 2, "", "boardctl: bad duration '0' (seconds)"},
    };
    for (const Case& c : cases) {
        Outcome o = run(c.args);
        std::string what = testing::PrintToString(c.args);
        EXPECT_EQ(o.status, c.status) << what << "\n" << o.err;
        EXPECT_EQ(o.out, c.out) << what;
        EXPECT_EQ(o.err.substr(0, c.err.size()), c.err) << what;
        // Errors, usage ones too, are one line each.
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), c.err.empty() ? 0 : 1) << what;
    }
}

TEST_F(Boardctl, JsonForScripts) {
    using nlohmann::json;
    Outcome scan = run({"--json", "scan"});
    ASSERT_EQ(scan.status, 0) << scan.err;
    json boards = json::parse(scan.out);
    ASSERT_EQ(boards.size(), 2u);
    EXPECT_EQ(boards[0]["address"], 0x25);
    EXPECT_EQ(boards[0]["aout_bits"], 12);
    EXPECT_EQ(boards[1]["address"], 0x26);
    EXPECT_EQ(boards[1]["thermo"], 8);

    Outcome thermo = run({"--json", "thermo", "0x26"});
    ASSERT_EQ(thermo.status, 0) << thermo.err;
    json t = json::parse(thermo.out)["thermocouples"];
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[1]["fault"], "open");
    EXPECT_EQ(t[1]["raw"], 0x8004);
    EXPECT_EQ(t[2]["celsius"], 100.0);

    Outcome in = run({"--json", "in", "0x25"});
    ASSERT_EQ(in.status, 0) << in.err;
    EXPECT_EQ(json::parse(in.out)["channels"], json({0, 1, 0, 0}));

    // Every command prints one JSON value, the setting ones too.
    struct Case {
        Args args;
        json value;
    };
    const Case cases[] = {
        {{"out", "0x25", "0x801"},
         {{"address", 0x25},
          {"outputs", 0x801},
          {"channels", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}}}},
        {{"out", "0x25", "0=0", "3=1"},
         {{"address", 0x25},
          {"changed", {{{"channel", 0}, {"value", 0}}, {{"channel", 3}, {"value", 1}}}}}},
        {{"aout", "0x25", "1", "4095"}, {{"address", 0x25}, {"channel", 1}, {"value", 4095}}},
        {{"thermo", "0x26", "3"},
         {{"address", 0x26}, {"channel", 3}, {"raw", 10000}, {"celsius", 100.0}}},
    };
    for (const Case& c : cases) {
        Args args = c.args;
        args.insert(args.begin(), "--json");
        Outcome o = run(args);
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(json::parse(o.out), c.value) << testing::PrintToString(c.args);
        EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 1);
    }
}

// A board's own text reaches the terminal escaped and cut short, and JSON
// output survives bytes that are no UTF-8.
TEST(BoardctlBoardText, PrintableWhateverTheBoardSends) {
    struct Case {
        std::string descriptor;
        bool json;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {R"(["Pi\u0000co\u001b[31m",{"v":"\u0007"}])", false, "0x25  Pi\\x00co\\x1b[31m v\\x07  \n",
         ""},
        {R"(["Pi\u0000co",{}])", true, "", ""},
        {std::string(88, '\xff'), false, "",
         "boardctl: 0x25: not JSON: " + std::string(64 * 4, 'x') + "... (88 bytes)\n"},
        {"[\"Pico\xff\",{}]", true, "", "boardctl: 0x25: not JSON: [\"Pico\\xff\",{}]\n"},
    };
    for (const Case& c : cases) {
        boardctl::Cli cli;
        cli.command = "scan";
        cli.json = c.json;
        std::ostringstream out, err;
        boardctl::Context context(cli, out, err, nullptr, [&c] {
            return boardhost::Result<std::unique_ptr<boardhost::Transport>>(
                std::make_unique<hosttest::FakeBus>(0x25, c.descriptor));
        });
        boardctl::scanCommand(context);
        std::string e = err.str();
        // 0xff as \xff, 64 times, in the expected text's x's place.
        if (c.err.find("xxxx") != std::string::npos) {
            std::string ff;
            for (int i = 0; i < 64; ++i)
                ff += "\\xff";
            std::string want = c.err;
            want.replace(want.find("xxxx"), 64 * 4, ff);
            EXPECT_EQ(e, want);
        } else {
            EXPECT_EQ(e, c.err);
        }
        if (c.json) {
            if (c.err.empty()) {
                auto j = nlohmann::json::parse(out.str());
                EXPECT_EQ(j[0]["hardware"], std::string("Pi\0co", 5));
            }
        } else {
            EXPECT_EQ(out.str(), c.out);
        }
    }
}

TEST(BoardctlWithoutABus, UsageAndMissingBuses) {
    std::ostringstream out, err;
    EXPECT_EQ(boardctl::run({}, out, err), 2);
    EXPECT_EQ(err.str(), "boardctl: no command given (boardctl --help shows the usage)\n");
    std::ostringstream out2, err2;
    EXPECT_EQ(boardctl::run({"--bus", "/nonexistent/i2c-7", "scan"}, out2, err2), 1);
    EXPECT_EQ(err2.str(), "boardctl: cannot open /nonexistent/i2c-7: No such file or directory "
                          "(is i2c-dev loaded?)\n");
    std::ostringstream out3, err3;
    EXPECT_EQ(boardctl::run({"--sim", "/nonexistent/bp.sock", "scan"}, out3, err3), 1);
    EXPECT_EQ(err3.str().rfind("boardctl: sim:/nonexistent/bp.sock: cannot connect", 0), 0u);
    std::ostringstream out4, err4;
    EXPECT_EQ(boardctl::run({"--help"}, out4, err4), 0);
    EXPECT_EQ(out4.str().rfind("usage: boardctl", 0), 0u);
}

// watch on a valdor whose world moves only by commands: what it prints
// depends on what the test does, not on how fast the machine is.
class Watch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        served = new ServedBackplane({"valdor@2"}, "0");
        served->command("run 300ms");
    }
    static void TearDownTestSuite() { delete served; }

    static std::unique_ptr<Child> watch(Args extra) {
        Args argv{BOARDCTL_PATH, "--sim", served->socket(), "watch", "0x25", "--interval", "5"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return std::make_unique<Child>(argv);
    }
    // The next event without its time stamp.
    static std::string next(Child& c) {
        std::string line;
        if (!c.readLine(line))
            return "(nothing)";
        std::size_t space = line.find(' ');
        return space == std::string::npos ? line : line.substr(space + 1);
    }

    static ServedBackplane* served;
};

ServedBackplane* Watch::served = nullptr;

TEST_F(Watch, PrintsChangesAndResetsUntilInterrupted) {
    served->command("select 2");
    served->command("adc 0 7");
    served->command("run 50ms");
    auto w = watch({});
    EXPECT_EQ(next(*w), "in 0x0");
    EXPECT_EQ(next(*w), "ain 0 7");
    EXPECT_EQ(next(*w), "ain 1 0");

    served->command("drive 12 low"); // input 3
    served->command("run 50ms");
    EXPECT_EQ(next(*w), "in 0x8");

    served->command("watchdog trigger");
    std::string gone = next(*w);
    EXPECT_EQ(gone.rfind("gone", 0), 0u) << gone;
    served->command("run 300ms");
    EXPECT_EQ(next(*w), "back");
    EXPECT_EQ(next(*w), "reset");

    w->signal(SIGINT);
    EXPECT_EQ(w->wait(), 0);
    served->command("drive 12 open");
}

TEST_F(Watch, EndsByItselfAfterCountOrTime) {
    auto counted = watch({"--count", "2", "--json"});
    std::string line;
    ASSERT_TRUE(counted->readLine(line));
    auto first = nlohmann::json::parse(line);
    EXPECT_EQ(first["event"], "in");
    EXPECT_TRUE(first.contains("t"));
    ASSERT_TRUE(counted->readLine(line));
    EXPECT_EQ(nlohmann::json::parse(line)["event"], "ain");
    EXPECT_FALSE(counted->readLine(line));
    EXPECT_EQ(counted->wait(), 0);

    auto timed = watch({"--for", "0.2"});
    int lines = 0;
    while (timed->readLine(line))
        ++lines;
    EXPECT_EQ(lines, 3); // the first values; nothing changes meanwhile
    EXPECT_EQ(timed->wait(), 0);
}

TEST_F(Watch, AnAbsentBoardEndsItAtOnce) {
    auto absent = std::make_unique<Child>(
        Args{BOARDCTL_PATH, "--sim", served->socket(), "watch", "0x21", "--for", "10"});
    std::string line;
    EXPECT_FALSE(absent->readLine(line));
    EXPECT_EQ(absent->wait(), 1);
}

} // namespace
