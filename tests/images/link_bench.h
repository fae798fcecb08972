// Boards on the simulated backplane as the host link tests see them: the
// host master on the bus, the slot coding, the pins, the console, and the
// faults a test may inject (interrupt latency, a core held busy). Nothing
// here looks inside the firmware.
#pragma once

#include <gtest/gtest.h>

#include "harness/bench.h"
#include "image_backend.h"
#include "kernel/processor.h"
#include "kernel/scheduler.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace link_test {

using sim::I2cMessage;
using sim::I2cTransferRecord;
using sim::microseconds;
using sim::milliseconds;
using sim::nanoseconds;
using sim::Time;
using Bytes = std::vector<std::uint8_t>;

using image_backend::imagePath;
using image_backend::kCodeTime;
using image_backend::kStartUp;
using image_backend::near;
using image_backend::onTime;
using image_backend::sameTimeline;
using image_backend::ticksAfter;

// Position p answers at 0x27 - p; a board sits at the position of its slot.
constexpr std::uint8_t addressOfSlot(unsigned slot) {
    return static_cast<std::uint8_t>(0x27 - slot);
}

// A board with a settled slot voltage has set up its pins and side tasks and
// started its host link one tick after power-on plus its two 2-us slot
// conversions; the real binary's boot code adds up to kStartUp before that.
constexpr Time kLinkUp = microseconds(1002);

// One 8N1 character on the UART console at 115200 baud: the SDK's divisor
// from clk_peri (125 MHz) is 67 + 52/64, ten bits of 8680 ns.
constexpr Time kConsoleCharacter = nanoseconds(86800);

// One byte on the bus at 100 kHz: eight bits and the acknowledge bit.
constexpr Time kByteTime = microseconds(90);

// The register table as it stands after start-up, in table order, with the
// descriptor length of 88 (valdor) or 66 (quillet) in 0xFE.
struct Entry {
    std::uint8_t addr;
    std::uint8_t value;
    bool readOnly;
};
inline std::vector<Entry> initialTable(std::uint8_t descriptorLength) {
    std::vector<Entry> t = {
        {0x00, 0x00, false}, {0x05, 0x02, false}, {0x09, 0xC0, true},  {0x0B, 0x01, false},
        {0x12, 0x00, true},  {0x13, 0x00, true},  {0x50, 0x00, false}, {0x51, 0x00, false},
        {0x52, 0x00, false}, {0x55, 0x00, true},  {0x56, 0x00, true},  {0x57, 0x00, true},
        {0x60, 0x00, false}, {0x61, 0x00, false}, {0x62, 0x00, false}, {0x63, 0x00, false},
        {0x70, 0x00, true},  {0x71, 0x00, true},  {0x72, 0x00, true},  {0x73, 0x00, true}};
    for (std::uint8_t a = 0x80; a <= 0x8F; ++a)
        t.push_back({a, 0x00, true});
    t.push_back({0xFD, 0x00, true});
    t.push_back({0xFE, descriptorLength, true});
    return t;
}

using Timeline = std::vector<std::pair<Time, bool>>;

// The LED task starts with the board's set-up, right after the slot reading,
// and turns the LED on at once; every later change falls on a tick.
inline Timeline expectedBlink(int pos, Time until) {
    Timeline t;
    auto add = [&](Time at, bool on) {
        if (at <= until)
            t.emplace_back(at, on);
    };
    add(kLinkUp, true);
    for (int phase = 1; phase < 10; ++phase)
        add(milliseconds(1 + 100 * phase), phase % 2 == 0);
    Time at = milliseconds(1001);
    while (at <= until) {
        if (pos < 0) {
            add(at, true);
            add(at + milliseconds(1750), false);
            at += milliseconds(2000);
            continue;
        }
        for (int flash = 0; flash <= pos; ++flash, at += milliseconds(400)) {
            add(at, true);
            add(at + milliseconds(200), false);
        }
        at += milliseconds(1300); // the last off phase lasts 1500 instead of 200
    }
    return t;
}

class LinkTest : public ::testing::Test {
protected:
    // A board of `image` in `slot`; boards are powered by powerOn().
    sim::Board& insert(const std::string& image, unsigned slot = 0,
                       sim::SlotCoding coding = sim::SlotCoding::bySlot()) {
        return bench.insert(slot, image, imagePath(image), coding);
    }
    // Powers the boards and runs until every host link is up.
    void start(Time until = kLinkUp + kStartUp) {
        bench.powerOn();
        runUntil(until);
    }

    void runUntil(Time t) { ASSERT_TRUE(bench.runUntil(t)) << bench.error(); }
    void runFor(Time d) { ASSERT_TRUE(bench.run(d)) << bench.error(); }
    Time now() const { return bench.now(); }

    // --- the host --------------------------------------------------------------
    I2cTransferRecord transfer(std::vector<I2cMessage> messages) {
        I2cTransferRecord r = bench.i2c(std::move(messages));
        EXPECT_FALSE(bench.failed()) << bench.error();
        return r;
    }
    // [reg, data...] in one write; every byte must be acknowledged.
    I2cTransferRecord write(std::uint8_t address, std::uint8_t reg, Bytes data) {
        I2cTransferRecord r = bench.writeRegisters(address, reg, std::move(data));
        EXPECT_FALSE(bench.failed()) << bench.error();
        EXPECT_FALSE(r.nacked()) << "write to 0x" << std::hex << int(reg);
        return r;
    }
    // Lets the board's code act on what the host just did (elf backend only).
    void settle() {
        if (kCodeTime > 0)
            runFor(kCodeTime);
    }
    // Selects `reg` and reads n bytes after a repeated START.
    Bytes read(std::uint8_t address, std::uint8_t reg, std::size_t n) {
        I2cTransferRecord r =
            transfer({I2cMessage::write(address, {reg}), I2cMessage::readBytes(address, n)});
        EXPECT_FALSE(r.nacked()) << "read of 0x" << std::hex << int(reg);
        return r.messages.size() == 2 ? r.messages[1].bytes : Bytes{};
    }
    // A read with no address byte: it goes on where the board's cursor is.
    Bytes bareRead(std::uint8_t address, std::size_t n) {
        I2cTransferRecord r = transfer({I2cMessage::readBytes(address, n)});
        EXPECT_FALSE(r.nacked());
        return r.messages.empty() ? Bytes{} : r.messages[0].bytes;
    }
    std::uint8_t readOne(std::uint8_t address, std::uint8_t reg) {
        Bytes b = read(address, reg, 1);
        return b.empty() ? 0 : b[0];
    }
    // Whether anybody acknowledges `address` (an address-only write).
    bool answers(std::uint8_t address) {
        return !transfer({I2cMessage::write(address, {})}).nacked();
    }
    // Every valid 7-bit address that somebody acknowledges.
    std::vector<std::uint8_t> answeringAddresses() {
        std::vector<std::uint8_t> found;
        for (std::uint8_t a = 0x08; a <= 0x77; ++a) {
            if (answers(a))
                found.push_back(a);
        }
        return found;
    }

    // --- probes ----------------------------------------------------------------
    // Level changes of one pin of a board: (time, level).
    std::vector<std::pair<Time, bool>> pinChanges(const sim::Board& board, unsigned pin,
                                                  Time from = 0) {
        const std::string prefix = "GPIO" + std::to_string(pin) + "=";
        std::vector<std::pair<Time, bool>> changes;
        for (const sim::Record& r : bench.recorder().select("pin", board.name())) {
            if (r.at >= from && r.text().compare(0, prefix.size(), prefix) == 0)
                changes.emplace_back(r.at, r.text()[prefix.size()] == '1');
        }
        return changes;
    }
    // Records of one kind from a board (or the bus: source "bus").
    std::vector<sim::Record> records(const std::string& kind, const std::string& source,
                                     Time from = 0) {
        std::vector<sim::Record> out;
        for (const sim::Record& r : bench.recorder().select(kind, source)) {
            if (r.at >= from)
                out.push_back(r);
        }
        return out;
    }

    // --- faults ------------------------------------------------------------------
    // Holds one core of a board busy from now on for `duration`, as a context
    // of higher priority than any firmware task would: interrupts are still
    // taken on that core, but no firmware task runs there meanwhile.
    void holdCore(sim::Board& board, int core, Time duration) {
        board.chip().holdTasks(core, duration);
    }

    sim::Bench bench;
};

} // namespace link_test
