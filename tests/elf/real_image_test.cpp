// The real images, as built for the RP2040, on the instruction-level chip:
// they start, find their slot, answer the host, blink their code, print on
// their console and come back from a watchdog reset. Driven only from
// outside, like a board on a real backplane; the code now takes time, so
// edges are compared with a tolerance where execution time enters.
#include <gtest/gtest.h>

#include "harness/bench.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using sim::microseconds;
using sim::milliseconds;
using sim::Time;
using Bytes = std::vector<std::uint8_t>;

std::string elf(const std::string& image) {
    return std::string(ELF_IMAGE_DIR) + "/" + image + ".elf";
}

// How far an edge may lie from its tick: the tick interrupt, the switch to
// the woken task and its code up to the pin write.
constexpr Time kCodeTime = microseconds(50);

class RealImage : public ::testing::Test {
protected:
    sim::Board& insert(const std::string& image, unsigned slot,
                       sim::SlotCoding coding = sim::SlotCoding::bySlot()) {
        return bench.insert(slot, image, elf(image), coding);
    }
    void runUntil(Time t) { ASSERT_TRUE(bench.runUntil(t)) << bench.error(); }

    std::vector<std::pair<Time, bool>> pinChanges(const sim::Board& board, unsigned pin) {
        const std::string prefix = "GPIO" + std::to_string(pin) + "=";
        std::vector<std::pair<Time, bool>> changes;
        for (const sim::Record& r : bench.recorder().select("pin", board.name())) {
            if (r.text().compare(0, prefix.size(), prefix) == 0)
                changes.emplace_back(r.at, r.text()[prefix.size()] == '1');
        }
        return changes;
    }

    sim::Bench bench;
};

// Edges on the board's millisecond ticks: the LED task turns the LED on as
// it starts, within some tick's millisecond, and every later edge follows
// that tick by whole ticks, each no more than kCodeTime late.
void expectOnTicks(const std::vector<std::pair<Time, bool>>& seen,
                   const std::vector<Time>& ticksAfterFirst, const std::string& what) {
    ASSERT_GE(seen.size(), ticksAfterFirst.size() + 1) << what;
    EXPECT_TRUE(seen[0].second) << what;
    // The tick the task started on, as near as the first delayed edge tells.
    const Time tick = seen[1].first - ticksAfterFirst[0];
    EXPECT_LE(tick, seen[0].first) << what;
    EXPECT_LT(seen[0].first, tick + milliseconds(1)) << what;
    for (std::size_t i = 0; i < ticksAfterFirst.size(); ++i) {
        const Time at = seen[i + 1].first - tick;
        EXPECT_GE(at + kCodeTime, ticksAfterFirst[i]) << what << ", edge " << i + 1;
        EXPECT_LE(at, ticksAfterFirst[i] + kCodeTime) << what << ", edge " << i + 1;
        EXPECT_EQ(seen[i + 1].second, i % 2 == 1) << what << ", edge " << i + 1;
    }
}

TEST_F(RealImage, AnswersWithItsDescriptorAtTheSlotAddress) {
    insert("valdor", 2);
    insert("quillet", 1);
    bench.powerOn();
    runUntil(milliseconds(100));
    EXPECT_EQ(bench.readRegisters(0x25, 0xFD, 2), (Bytes{0x00, 0x58}));
    EXPECT_EQ(bench.readRegisters(0x26, 0xFD, 2), (Bytes{0x00, 0x42}));
    const std::string quillet =
        R"(["Pico",{"dout":{"n":9},"din":{"n":6},"v":"0.1","thermo":{"n":8}}])";
    Bytes text = bench.readRegisters(0x26, 0xFF, quillet.size() + 1);
    EXPECT_EQ(std::string(text.begin(), text.end()), quillet + std::string(1, '\0'));
    // Nobody at the empty slots' addresses.
    EXPECT_TRUE(bench.i2c({sim::I2cMessage::write(0x27, {})}).nacked());
    EXPECT_EQ(bench.board(2)->chip().resets(), 0u);
}

TEST_F(RealImage, OutputWriteReachesThePinSoonAfterTheStop) {
    insert("valdor", 0);
    bench.powerOn();
    runUntil(milliseconds(50));
    const sim::I2cTransferRecord w = bench.writeRegisters(0x27, 0x50, {0x01, 0x08});
    ASSERT_FALSE(w.nacked());
    runUntil(w.end + milliseconds(1));
    const auto out0 = pinChanges(*bench.board(0), 11);
    const auto out11 = pinChanges(*bench.board(0), 0);
    ASSERT_FALSE(out0.empty());
    ASSERT_FALSE(out11.empty());
    EXPECT_TRUE(out0.back().second);
    EXPECT_TRUE(out11.back().second);
    EXPECT_GT(out0.back().first, w.end);
    EXPECT_LT(out0.back().first, w.end + microseconds(200));
    EXPECT_EQ(bench.readRegisters(0x27, 0x50, 2), (Bytes{0x01, 0x08}));
}

// Five quick flashes, then p + 1 flashes of 200 ticks with the last off
// phase stretched to 1500.
class OnboardLed : public RealImage, public ::testing::WithParamInterface<const char*> {};

TEST_P(OnboardLed, BlinksTheSlotCode) {
    sim::Board& board = insert(GetParam(), 2);
    bench.powerOn();
    runUntil(milliseconds(4000));
    std::vector<Time> ticks;
    for (int phase = 1; phase < 10; ++phase)
        ticks.push_back(milliseconds(100 * phase));
    Time at = milliseconds(1000);
    for (int flash = 0; flash < 3; ++flash, at += milliseconds(400)) {
        ticks.push_back(at);
        ticks.push_back(at + milliseconds(200));
    }
    ticks.push_back(at + milliseconds(1300)); // the next code starts
    expectOnTicks(pinChanges(board, 25), ticks, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Images, OnboardLed, ::testing::Values("valdor", "quillet", "brennic"));

TEST_F(RealImage, BrennicPrintsItsTestLineOnUart0) {
    sim::Board& board = insert("brennic", 0);
    sim::ThermocoupleBank& bank = *board.thermocouples();
    bank.setTemperature(1, 25.25);
    bank.setOpen(2);
    bank.setTemperature(3, 0.0);
    bench.powerOn();
    runUntil(milliseconds(4100));
    std::vector<sim::Record> lines = bench.recorder().select("console", board.name());
    // The test line is all it prints.
    ASSERT_EQ(lines.size(), 2u);
    for (int i : {0, 1})
        EXPECT_EQ(lines[i].text(), "temp1: 2525, temp2: 32772, temp3: 0");
    // Every 2000 ticks, counted from the scheduler's start a few
    // milliseconds after power-on (the clocks, then the board's set-up);
    // each line leaves at 115200 baud, 38 characters with CR LF at 86.8 us.
    EXPECT_GT(lines[0].at, milliseconds(2000));
    EXPECT_LT(lines[0].at, milliseconds(2010));
    EXPECT_GE(lines[1].at - lines[0].at + kCodeTime, milliseconds(2000));
    EXPECT_LE(lines[1].at - lines[0].at, milliseconds(2000) + kCodeTime);
}

// A watchdog reset, triggered as a debugger would write the watchdog's
// trigger bit: the binary boots again into a whole board with its initial
// register table.
TEST_F(RealImage, WatchdogResetRebootsIntoAWorkingBoard) {
    sim::Board& board = insert("valdor", 3);
    bench.powerOn();
    runUntil(milliseconds(100));
    ASSERT_FALSE(bench.writeRegisters(0x24, 0x50, {0x0F}).nacked());
    ASSERT_FALSE(bench.writeRegisters(0x24, 0x00, {0x5A}).nacked());
    runUntil(milliseconds(150));
    EXPECT_EQ(bench.readRegisters(0x24, 0x00, 1), (Bytes{0x5A}));

    board.chip().watchdog.trigger();
    runUntil(milliseconds(151));
    ASSERT_EQ(board.chip().resets(), 1u);
    EXPECT_TRUE(bench.i2c({sim::I2cMessage::write(0x24, {})}).nacked());
    runUntil(milliseconds(300));
    EXPECT_EQ(bench.readRegisters(0x24, 0x00, 1), (Bytes{0x00}));
    EXPECT_EQ(bench.readRegisters(0x24, 0x50, 1), (Bytes{0x00}));
    EXPECT_EQ(bench.readRegisters(0x24, 0xFD, 2), (Bytes{0x00, 0x58}));
    EXPECT_FALSE(board.chip().gpio.level(11));
    // And it is supervised again: a second second passes without a reset.
    runUntil(milliseconds(1300));
    EXPECT_EQ(board.chip().resets(), 1u);
}

} // namespace
