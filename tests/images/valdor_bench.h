// A valdor board in slot 0 (bus address 0x27) on the simulated backplane,
// and what its tests see from outside: the bus, the pins, the PWM slice, the
// converter and the console.
#pragma once

#include <gtest/gtest.h>

#include "harness/bench.h"
#include "sdk/host_chip.h"
#include "image_backend.h"

#include <cstdint>
#include <string>
#include <vector>

namespace valdor_test {

using image_backend::kCodeTime;
using image_backend::kStartUp;
using image_backend::near;
using image_backend::onTime;
using image_backend::sameTimeline;
using image_backend::ticksAfter;
using sim::microseconds;
using sim::milliseconds;
using sim::Time;

constexpr std::uint8_t kAddress = 0x27; // slot 0

// The board's wiring, from its description.
inline const sim::BoardDescription& kBoard = sim::boardDescription(sim::BoardKind::Valdor);
inline const unsigned kChangeLine = kBoard.gpio(sim::PinUse::ChangeLine);
inline const unsigned kDacSelect = kBoard.gpio(sim::PinUse::DacSelect);
// Input k of the board, by GPIO.
inline const std::vector<unsigned> kDin = kBoard.gpios(sim::PinUse::DigitalIn);
// The status LEDs, faded on two of the outputs' pins.
inline const unsigned kStartupLed = kBoard.faded[0].gpio;
inline const unsigned kHostLostLed = kBoard.faded[1].gpio;
// The board has set up its pins, converter and side tasks by then: one tick
// for the slot reading to settle, plus its two 2-us conversions; the real
// binary's boot code adds up to kStartUp before that.
constexpr Time kSetUp = microseconds(1002);

class ValdorTest : public ::testing::Test {
protected:
    void SetUp() override {
        board_ = &bench_.insert(0, "valdor", image_backend::imagePath("valdor"));
        bench_.powerOn();
    }

    void runUntil(Time t) { ASSERT_TRUE(bench_.runUntil(t)) << bench_.error(); }
    void runFor(Time d) { ASSERT_TRUE(bench_.run(d)) << bench_.error(); }
    Time now() const { return bench_.now(); }

    // One host write of [reg, data...]; returns when its STOP is on the bus.
    sim::I2cTransferRecord write(std::uint8_t reg, std::vector<std::uint8_t> data) {
        sim::I2cTransferRecord r = bench_.writeRegisters(kAddress, reg, std::move(data));
        EXPECT_FALSE(r.nacked());
        EXPECT_FALSE(bench_.failed()) << bench_.error();
        settle();
        return r;
    }
    // Lets the board's code act on what the host just did (elf backend only).
    void settle() {
        if (kCodeTime > 0)
            runFor(kCodeTime);
    }
    sim::I2cTransferRecord writeWord(std::uint8_t reg, std::uint16_t value) {
        return write(
            reg, {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
    }
    std::vector<std::uint8_t> read(std::uint8_t reg, std::size_t n) {
        std::vector<std::uint8_t> bytes = bench_.readRegisters(kAddress, reg, n);
        EXPECT_FALSE(bench_.failed()) << bench_.error();
        return bytes;
    }
    // A read of 0x05: host activity. Returns the end of the transfer.
    Time heartbeat() {
        sim::I2cTransferRecord r = bench_.i2c(
            {sim::I2cMessage::write(kAddress, {0x05}), sim::I2cMessage::readBytes(kAddress, 1)});
        EXPECT_FALSE(r.nacked());
        settle();
        return r.end;
    }
    // The host's acknowledgement of an input change: a data byte to 0x12.
    Time acknowledgeInputs() { return write(0x12, {0x00}).end; }

    sim::Chip& chip() { return board_->chip(); }
    sim::HostChip& hostChip() { return sim::hostChipOf(*board_); }
    bool level(unsigned pin) { return chip().gpio.level(pin); }
    unsigned function(unsigned pin) { return chip().gpio.function(pin); }
    // Bit n: level of GPIO n, for the output pins GPIO0..11.
    std::uint32_t outputLevels() {
        std::uint32_t levels = 0;
        for (unsigned pin = 0; pin < 12; ++pin) {
            if (level(pin))
                levels |= 1u << pin;
        }
        return levels;
    }

    // Level changes of one pin as a probe records them: (time, level).
    std::vector<std::pair<Time, bool>> pinChanges(unsigned pin, Time from = 0) {
        const std::string prefix = "GPIO" + std::to_string(pin) + "=";
        std::vector<std::pair<Time, bool>> changes;
        for (const sim::Record& r : bench_.recorder().select("pin", board_->name())) {
            if (r.at >= from && r.text().compare(0, prefix.size(), prefix) == 0)
                changes.emplace_back(r.at, r.text()[prefix.size()] == '1');
        }
        return changes;
    }
    // Every record of a kind from this board since `from`.
    std::vector<sim::Record> records(const std::string& kind, Time from = 0) {
        std::vector<sim::Record> out;
        for (const sim::Record& r : bench_.recorder().select(kind, board_->name())) {
            if (r.at >= from)
                out.push_back(r);
        }
        return out;
    }

    sim::Bench bench_;
    sim::Board* board_ = nullptr;
};

} // namespace valdor_test
