// boardsim --listen under clients that misbehave: real clients on the real
// socket, the server a process of its own. The waits here are hang guards
// far above what a working server needs; they do not measure it.
#include "served_backplane.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <thread>

namespace {

using hosttest::Child;
using hosttest::RawClient;
using hosttest::ServedBackplane;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Reads the server's error output until a line containing `text`.
bool saysSoon(Child& server, const std::string& text, std::chrono::milliseconds limit = 20s) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::string line;
    while (server.readLine(line, std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now()))) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

// Sends without blocking for at most `limit`; false when the server stopped
// taking the bytes.
bool sendWithin(RawClient& c, const std::string& text, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::size_t sent = 0;
    while (sent < text.size() && std::chrono::steady_clock::now() < deadline) {
        std::size_t n = c.sendSome(text.substr(sent, 65536));
        sent += n;
        if (n == 0)
            std::this_thread::sleep_for(1ms);
    }
    return sent == text.size();
}

// The microseconds of `time`'s output line; -1 for anything else.
double micros(const Lines& output) {
    return !output.empty() && output[0].rfind("time ", 0) == 0 ? std::stod(output[0].substr(5))
                                                               : -1;
}

TEST(ServerClients, OneThatNeverReadsHoldsUpNobodyAndIsDropped) {
    ServedBackplane served({"valdor@2"}, "1", true);
    served.command("run 100ms");
    RawClient hog(served.socket());
    ASSERT_TRUE(hog.connected());
    std::string flood;
    for (int i = 0; i < 20000; ++i)
        flood += "help\n";
    sendWithin(hog, flood, 5s);

    Child scan({BOARDCTL_PATH, "--sim", served.socket(), "scan"});
    std::string line;
    ASSERT_TRUE(scan.readLine(line, 20s));
    EXPECT_EQ(line, "0x25  Pico v0.2  dout 12, din 4, aout 2 (12 bit), ain 2");
    EXPECT_EQ(scan.waitFor(20s), 0);
    EXPECT_NE(micros(served.command("time")), -1);

    EXPECT_TRUE(saysSoon(served.server(), "dropped: it left"));
    EXPECT_TRUE(hog.closedByServer(20s));
    EXPECT_EQ(served.stop(20s), 0);
}

TEST(ServerClients, SigtermEndsTheServerWhileAClientIsStuck) {
    ServedBackplane served({"valdor@2"}, "1", true);
    RawClient hog(served.socket());
    std::string flood;
    for (int i = 0; i < 20000; ++i)
        flood += "help\n";
    sendWithin(hog, flood, 5s);
    EXPECT_EQ(served.stop(20s), 0);
}

TEST(ServerClients, OneThatSendsItsWholeScriptFirstGetsEveryAnswer) {
    ServedBackplane served({"valdor@2"}, "0");
    RawClient c(served.socket());
    // More than the socket holds either way: the server must keep reading
    // while the answers pile up.
    constexpr int kLines = 40000;
    std::string script;
    for (int i = 0; i < kLines; ++i)
        script += i % 2 ? "time\n" : "run 1us\n";
    ASSERT_TRUE(sendWithin(c, script, 20s)) << "the server stopped reading";
    double last = -1;
    for (int i = 0; i < kLines; ++i) {
        Lines a = c.answer(20s);
        if (i % 2 == 0) {
            ASSERT_EQ(a, (Lines{"ok"})) << "answer " << i;
            continue;
        }
        ASSERT_EQ(a.size(), 2u) << "answer " << i;
        EXPECT_EQ(a[1], "ok");
        double t = micros(a);
        ASSERT_GT(t, last) << "answer " << i;
        last = t;
    }
}

// `printf '...\nrun 10s\n' | socat ...` on a busy machine: the script's end
// comes once its last line, a run, is under way; the run is still answered
// before the connection is closed.
TEST(ServerClients, AScriptThatEndsDuringItsLastRunGetsTheRunsAnswer) {
    ServedBackplane served({"valdor@2"}, "0");
    RawClient c(served.socket());
    const double start = micros(served.command("time"));
    ASSERT_TRUE(c.send("select 2\nrun 10s\n"));
    EXPECT_EQ(c.answer(20s), (Lines{"ok"}));
    double now = start;
    for (int i = 0; i < 100000 && now == start; ++i)
        now = micros(served.command("time"));
    ASSERT_GT(now, start) << "the run did not start";
    c.endSending();
    EXPECT_EQ(c.answer(60s), (Lines{"ok"}));
    EXPECT_TRUE(c.closedByServer(20s));
    EXPECT_GE(micros(served.command("time")), start + 10e6);
}

TEST(ServerClients, SigtermEndsALongRunAndOthersAreServedMeanwhile) {
    ServedBackplane served({"valdor@2"}, "1", true);
    RawClient runner(served.socket());
    ASSERT_TRUE(runner.send("run 100000s\n"));
    // The run goes on in slices: the world's client is answered meanwhile,
    // and sees time pass far faster than the wall clock.
    double first = micros(served.command("time"));
    double later = first;
    for (int i = 0; i < 1000 && later >= 0 && later < first + 2e6; ++i)
        later = micros(served.command("time"));
    EXPECT_GE(later, first + 2e6);
    EXPECT_EQ(served.stop(10s), 0);
}

TEST(ServerClients, ASpeedTheWorldCannotKeepUpWithStillAnswersPromptly) {
    ServedBackplane served({"valdor@2"}, "1e6", true);
    auto start = std::chrono::steady_clock::now();
    double last = -1;
    // Each answer waited half a second on a world that ran behind.
    for (int i = 0; i < 40 && last > -2; ++i) {
        double t = micros(served.command("time"));
        ASSERT_GT(t, last);
        last = t;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
    EXPECT_TRUE(saysSoon(served.server(), "cannot keep up with --speed 1e+06"));
}

TEST(ServerClients, TheSocketIsTheUsersAloneWhateverTheUmask) {
    mode_t old = ::umask(0);
    ServedBackplane served({"valdor@2"}, "0");
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(served.socket().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

} // namespace
