// One board in slot 0 (bus address 0x27) with a probe on its watchdog, and
// the faults the supervision exists for. The faults are injected through the
// simulated chip, never by changing the firmware: a stall is a busy task a
// debugger creates through the kernel (as a runaway task of the firmware
// would be), a stuck timer service a call pended to it that waits for good,
// and a halt is the debugger's.
#pragma once

#include <gtest/gtest.h>

#include "harness/bench.h"
#include "sdk/host_chip.h"
#include "image_backend.h"

#include <cstdint>
#include <string>
#include <vector>

namespace watchdog_test {

using sim::microseconds;
using sim::milliseconds;
using sim::seconds;
using sim::Time;

constexpr std::uint8_t kAddress = 0x27; // slot 0
constexpr Time kTimeout = milliseconds(50);
constexpr Time kBeat = milliseconds(26);
// What the SDK loads for a 50 ms timeout: the count drops by two per us.
constexpr std::uint32_t kFullCount = 50 * 1000 * 2;
constexpr std::uint32_t kForever = 0xFFFFFFFF; // ticks: the kernel's longest wait

using image_backend::imagePath;
using image_backend::kCodeTime;
using image_backend::kStartUp;
using image_backend::near;
using image_backend::onTime;

// Every reload of the running watchdog count with the full timeout (the
// arming and each feed) at its exact time. The model keeps the time of the
// last load, so sampling it more often than two feeds can follow each other
// loses none; the end of a debugger halt also restarts the count, but from
// where it stopped, not from the full timeout, and is not a feed.
class FeedLog {
public:
    static constexpr Time kSample = milliseconds(10);

    explicit FeedLog(sim::Chip& chip) : chip_(chip) {
        probe_.set([this] {
            sample();
            chip_.simulation().scheduleIn(probe_, kSample);
        });
        chip_.simulation().scheduleIn(probe_, 0);
    }
    ~FeedLog() { chip_.simulation().events().cancel(probe_); }
    FeedLog(const FeedLog&) = delete;
    FeedLog& operator=(const FeedLog&) = delete;

    const std::vector<Time>& feeds() {
        sample();
        return feeds_;
    }
    Time last() {
        sample();
        return feeds_.empty() ? sim::kNever : feeds_.back();
    }
    // Feeds in [from, to).
    std::vector<Time> between(Time from, Time to) {
        std::vector<Time> out;
        for (Time t : feeds())
            if (t >= from && t < to)
                out.push_back(t);
        return out;
    }

private:
    void sample() {
        sim::Watchdog& w = chip_.watchdog;
        if (!w.enabled() || chip_.debugHalted() || w.lastLoad() == seen_)
            return;
        seen_ = w.lastLoad();
        const std::uint64_t usSince = (chip_.now() - seen_) / 1000;
        if (w.count() + 2 * usSince == kFullCount)
            feeds_.push_back(seen_);
    }

    sim::Chip& chip_;
    sim::CallbackEvent probe_;
    Time seen_ = sim::kNever;
    std::vector<Time> feeds_;
};

class WatchdogBench : public ::testing::Test {
protected:
    void boot(const std::string& image) {
        board_ = &bench_.insert(0, image, imagePath(image));
        feeds_ = std::make_unique<FeedLog>(chip());
        bench_.powerOn();
    }

    void runUntil(Time t) { ASSERT_TRUE(bench_.runUntil(t)) << bench_.error(); }
    void runFor(Time d) { ASSERT_TRUE(bench_.run(d)) << bench_.error(); }
    Time now() const { return bench_.now(); }

    sim::Chip& chip() { return board_->chip(); }
    // What only the host model has: its scheduler and timer service.
    sim::HostChip& hostChip() { return sim::hostChipOf(*board_); }
    FeedLog& feeds() { return *feeds_; }
    const std::vector<sim::ResetRecord>& resets() { return chip().resetLog(); }

    // A runaway task on the given cores, made through the kernel as the
    // firmware's own tasks are.
    void stall(unsigned priority, std::uint32_t cores) {
        debuggerCall([&](auto done) { chip().addBusyTask(0, "Stall", priority, cores, done); });
    }
    // Leaves the timer service task waiting for good inside a pended call.
    void stopTimerService() {
        debuggerCall([&](auto done) { chip().pendTimerServiceDelay(0, kForever, done); });
    }
    void deleteTask(const char* name) {
        debuggerCall([&](auto done) { chip().deleteTask(0, name, done); });
    }
    // Starts a debugger's call and runs until it has returned, which it must
    // within a millisecond, successfully.
    template <class Start>
    void debuggerCall(Start start) {
        image_backend::CallResult result;
        start(result.callback());
        ASSERT_TRUE(image_backend::awaitReturn(result, [this](Time d) { runFor(d); }))
            << "the call was not made";
        EXPECT_TRUE(result.succeeded());
    }

    // Whether the board acknowledges its address; a read of the spare
    // register 0x00, which has no effect on the board.
    bool answers() {
        sim::I2cTransferRecord r = bench_.i2c(
            {sim::I2cMessage::write(kAddress, {0x00}), sim::I2cMessage::readBytes(kAddress, 1)});
        return !r.nacked() && !r.stuck;
    }

    sim::Bench bench_;
    sim::Board* board_ = nullptr;
    std::unique_ptr<FeedLog> feeds_;
};

} // namespace watchdog_test
