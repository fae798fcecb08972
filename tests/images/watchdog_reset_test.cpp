// The chip reset a missed feed causes: the board comes back as after
// power-on, with the register table at its initial values and the host link
// at the same address, and the watchdog is armed again before any board code.
#include "watchdog_bench.h"

namespace watchdog_test {
namespace {

constexpr Time kFault = milliseconds(989); // just after the feed of 988 ms
constexpr Time kReset = milliseconds(988) + kTimeout;

// The register table as a host reads it from 0x00 on, in table order.
std::vector<std::uint8_t> initialTable(std::uint8_t descriptorLength) {
    std::vector<std::uint8_t> table(38, 0x00);
    table[1] = 0x02;              // 0x05
    table[2] = 0xC0;              // 0x09
    table[3] = 0x01;              // 0x0B
    table[37] = descriptorLength; // 0xFE
    return table;
}

class WatchdogReset : public WatchdogBench,
                      public ::testing::WithParamInterface<std::pair<const char*, std::uint8_t>> {};

TEST_P(WatchdogReset, BoardComesBackAsFromPowerOn) {
    const auto [image, descriptorLength] = GetParam();
    boot(image);
    runUntil(milliseconds(200));
    // Host state that a reset must not keep: the spare register, the
    // heartbeat pair and the outputs.
    ASSERT_FALSE(bench_.writeRegisters(kAddress, 0x00, {0x5A}).nacked());
    ASSERT_FALSE(bench_.writeRegisters(kAddress, 0x0B, {0x81}).nacked());
    ASSERT_FALSE(bench_.writeRegisters(kAddress, 0x50, {0x0F, 0x01}).nacked());
    runUntil(milliseconds(300));
    std::vector<std::uint8_t> before = bench_.readRegisters(kAddress, 0x00, 38);
    std::vector<std::uint8_t> written = initialTable(descriptorLength);
    written[0] = 0x5A;              // 0x00
    written[1] = written[3] = 0x81; // 0x05 (the heartbeat copy), 0x0B
    written[6] = 0x0F;              // 0x50
    written[7] = 0x01;              // 0x51
    ASSERT_EQ(before, written);

    // No task runs on core 1 from just after a feed: its watchdog task
    // cannot report, and the count runs out one timeout after that feed.
    runUntil(kFault);
    const Time lastFeed = feeds().last();
    ASSERT_GE(lastFeed, kFault - kBeat);
    const Time due = lastFeed + kTimeout;
    chip().holdTasks(1, due - now());
    runUntil(due + microseconds(1));
    ASSERT_EQ(resets().size(), 1u);
    // The real binary's cores first finish the instruction under way.
    const Time resetAt = resets()[0].at;
    EXPECT_GE(resetAt, due);
    EXPECT_LT(resetAt, due + microseconds(1));
    EXPECT_EQ(resets()[0].cause, "watchdog timeout");
    if constexpr (!image_backend::kElf) {
        EXPECT_EQ(resetAt, kReset);
    }
    // The probe on the board recorded it too, with its time and cause.
    std::vector<sim::Record> recorded = bench_.recorder().select("reset", board_->name());
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].at, resetAt);
    EXPECT_EQ(recorded[0].text(), "watchdog timeout");

    // The link is up again once the board has found its slot.
    EXPECT_FALSE(answers());
    runUntil(resetAt + milliseconds(5) + kStartUp);
    EXPECT_EQ(bench_.readRegisters(kAddress, 0x00, 38), initialTable(descriptorLength));

    // Supervised again: armed as the board starts (at the reset on the host
    // model, after the boot code on the real binary) and fed on the beat.
    runUntil(resetAt + seconds(1));
    EXPECT_EQ(resets().size(), 1u);
    const std::vector<Time> fed = feeds().between(resetAt, now());
    ASSERT_FALSE(fed.empty());
    EXPECT_LE(fed.front(), resetAt + kStartUp);
    EXPECT_EQ(fed.size(), 1 + (now() - fed.front()) / kBeat);
    if constexpr (!image_backend::kElf) {
        EXPECT_EQ(fed.front(), resetAt);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, WatchdogReset,
                         ::testing::Values(std::make_pair("valdor", std::uint8_t{88}),
                                           std::make_pair("quillet", std::uint8_t{66})),
                         [](const auto& info) { return std::string(info.param.first); });

// What a probe on the chip saw, in order, with whether the watchdog was
// running at each entry: the scheduler's trace and the board's pins.
struct Entry {
    std::string text;
    bool armed;
};

class WatchdogArming : public WatchdogBench, public ::testing::WithParamInterface<const char*> {
protected:
    void record() {
        bench_.simulation().setTrace([this](Time, const std::string& line) {
            trace_.push_back({line, chip().watchdog.enabled()});
        });
        bench_.setTraceSink([this](const sim::Record& r) {
            trace_.push_back({r.kind() + " " + r.text(), chip().watchdog.enabled()});
        });
    }

    std::vector<Entry> trace_;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// At power-on and again after a watchdog reset.
TEST_P(WatchdogArming, WatchdogIsArmedBeforeAnyBoardCodeRuns) {
    board_ = &bench_.insert(0, GetParam(), imagePath(GetParam()));
    feeds_ = std::make_unique<FeedLog>(chip());
    record();
    bench_.powerOn();
    runUntil(kFault);
    stall(3, 0x2);
    runUntil(kReset + milliseconds(100));
    ASSERT_EQ(resets().size(), 1u);

    const char* boardTasks[] = {"MainTask",   "BoardTask", "OnboardLED", "StatusLEDs",
                                "AnalogRead", "Thermo",    "TWI-Task"};
    const char* boardProbes[] = {"pin ", "function ", "pwm ", "spi ", "console "};
    int booted = 0;
    int boardEntries[3] = {};
    bool inReset = false;
    bool watchdog0Ran = false;
    for (const Entry& e : trace_) {
        if (contains(e.text, ": boot")) {
            ++booted;
            inReset = false;
            watchdog0Ran = false;
            continue;
        }
        // Between a reset and the next boot the reset itself moves the pins.
        if (contains(e.text, ": reset: "))
            inReset = true;
        if (inReset || booted == 0)
            continue;
        // The host model's scheduler names each task it runs; the real
        // binary shows only its pins.
        if (contains(e.text, "runs Watchdog-0") && !watchdog0Ran) {
            watchdog0Ran = true;
            // "Watchdog-0" is the one that arms it.
            EXPECT_FALSE(e.armed) << "boot " << booted;
            continue;
        }
        // main's stdio_init_all sets up the console UART (brennic) before
        // the watchdog tasks exist: the SDK's set-up, not board code.
        if (!watchdog0Ran && contains(e.text, "uart"))
            continue;
        bool boardCode = false;
        for (const char* probe : boardProbes)
            boardCode = boardCode || e.text.rfind(probe, 0) == 0;
        for (const char* name : boardTasks)
            boardCode = boardCode || contains(e.text, std::string("runs ") + name);
        if (boardCode) {
            ++boardEntries[booted];
            EXPECT_TRUE(watchdog0Ran || image_backend::kElf) << e.text;
            EXPECT_TRUE(e.armed) << e.text;
        }
    }
    ASSERT_EQ(booted, 2);
    EXPECT_GT(boardEntries[1], 0);
    EXPECT_GT(boardEntries[2], 0);
}

INSTANTIATE_TEST_SUITE_P(Images, WatchdogArming, ::testing::Values("valdor", "quillet", "brennic"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
} // namespace watchdog_test
