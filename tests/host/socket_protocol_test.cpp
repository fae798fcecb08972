// The line protocol between boardsim --listen and the library: transfers as
// i2c commands, their replies, the end of an answer, and the wall-clock
// pacing of the served world.
#include "pacer.h"
#include "reply.h"

#include "boardhost/sim_transport.h"

#include <gtest/gtest.h>

namespace {

using boardhost::Error;
using boardhost::Message;

TEST(SocketProtocol, TransfersAreI2cCommandsWithEveryAddress) {
    EXPECT_EQ(boardhost::i2cCommand({Message::write(0x25, {0xFD}), Message::readBytes(0x25, 2)}),
              "i2c w1@0x25 0xfd r2@0x25");
    EXPECT_EQ(boardhost::i2cCommand({Message::write(0x26, {0x50, 0x01, 0x00})}),
              "i2c w3@0x26 0x50 0x01 0x00");
    EXPECT_EQ(boardhost::i2cCommand({Message::write(0x20, {})}), "i2c w0@0x20");
}

TEST(SocketProtocol, RepliesFillTheReads) {
    std::vector<Message> m{Message::write(0x25, {0xFD}), Message::readBytes(0x25, 2)};
    ASSERT_TRUE(boardhost::takeI2cReply({"0x00 0x58"}, m, "sim").ok());
    EXPECT_EQ(m[1].data, (std::vector<std::uint8_t>{0x00, 0x58}));

    struct Case {
        std::vector<std::string> lines;
        Error::Kind kind;
    };
    const Case bad[] = {
        {{"nack"}, Error::Kind::Nack},
        {{}, Error::Kind::ShortRead},
        {{"0x00"}, Error::Kind::ShortRead},
        {{"0x00 0x58 0x00"}, Error::Kind::ShortRead},
        {{"0x00 0x58", "0x01"}, Error::Kind::Bus},
        {{"0x00 0x5g"}, Error::Kind::Bus},
        {{"0x100 0x00"}, Error::Kind::Bus},
        {{"pin 11: 1"}, Error::Kind::Bus},
    };
    for (const Case& c : bad) {
        std::vector<Message> again{Message::write(0x25, {0xFD}), Message::readBytes(0x25, 2)};
        boardhost::Status s = boardhost::takeI2cReply(c.lines, again, "sim");
        ASSERT_FALSE(s.ok()) << testing::PrintToString(c.lines);
        EXPECT_EQ(s.error().kind, c.kind) << testing::PrintToString(c.lines);
    }
}

TEST(SocketProtocol, AnswersEndWithOkOrError) {
    EXPECT_EQ(boardsim::reply("0x00 0x58\n", ""), "0x00 0x58\nok\n");
    EXPECT_EQ(boardsim::reply("", "line 3: unknown command 'x'\n"),
              "error: line 3: unknown command 'x'\n");
    std::string error;
    EXPECT_TRUE(boardhost::isReplyEnd("ok", error));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(boardhost::isReplyEnd("error: line 3: bad", error));
    EXPECT_EQ(error, "line 3: bad");
    EXPECT_FALSE(boardhost::isReplyEnd("okay", error));
}

// Whatever a command prints (a console line can be anything), the client
// reads back the same lines and finds the answer's end where it is.
TEST(SocketProtocol, OutputLinesNeverEndAnAnswerEarly) {
    const std::vector<std::string> lines = {
        "ok", "error: not really", " indented", "", "  two", "plain", "error:"};
    std::string output;
    for (const auto& l : lines)
        output += l + "\n";
    std::string text = boardsim::reply(output, "");
    std::vector<std::string> back;
    std::size_t start = 0;
    std::string error;
    for (;;) {
        std::size_t nl = text.find('\n', start);
        ASSERT_NE(nl, std::string::npos);
        std::string line = text.substr(start, nl - start);
        start = nl + 1;
        if (boardhost::isReplyEnd(line, error))
            break;
        back.push_back(boardhost::unescapeReplyLine(line));
    }
    EXPECT_EQ(back, lines);
    EXPECT_EQ(start, text.size());
    EXPECT_EQ(error, "");
}

TEST(Pacer, VirtualTimeFollowsTheWallClockTimesTheSpeed) {
    constexpr std::int64_t kSecond = 1000000000;
    boardsim::Pacer fast(20, sim::milliseconds(5), 1000);
    EXPECT_EQ(fast.target(1000), sim::milliseconds(5));
    EXPECT_EQ(fast.target(1000 + kSecond / 10), sim::milliseconds(2005));
    EXPECT_EQ(fast.target(500), sim::milliseconds(5)); // never before its start
    EXPECT_EQ(fast.behind(sim::milliseconds(1005), 1000 + kSecond / 10), sim::seconds(1));
    EXPECT_EQ(fast.behind(sim::seconds(9), 1000 + kSecond / 10), 0u);
    EXPECT_EQ(fast.maxLag(), sim::seconds(10));

    fast.restart(sim::seconds(3), 2 * kSecond);
    EXPECT_EQ(fast.target(2 * kSecond + kSecond / 2), sim::seconds(13));

    boardsim::Pacer slow(0.5, 0, 0);
    EXPECT_EQ(slow.target(kSecond), sim::milliseconds(500));

    boardsim::Pacer frozen(0, sim::seconds(1), 0);
    EXPECT_EQ(frozen.target(100 * kSecond), sim::seconds(1));
    EXPECT_EQ(frozen.maxLag(), 0u);
}

} // namespace
