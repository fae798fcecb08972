// The bus lines drawn from the host master's steps, against a scripted device:
// read back bit by bit they give exactly the transfer the master recorded,
// with START and STOP at the record's times, the clock at its period, and
// SCL held low for as long as the device stretches.
#include "world/host_master.h"
#include "world/i2c_bus.h"
#include "world/i2c_waveform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace sim {
namespace {

constexpr Time kT = microseconds(10);

struct Edge {
    Time at;
    I2cLine line;
    bool level;
    Time told; // the step that drew it
};

// A device at 0x25 that can hold SCL before it takes a written byte or
// before it sends one.
class ScriptedDevice : public I2cDevice {
public:
    ScriptedDevice(Simulation& sim, I2cBus& bus) : sim_(sim), bus_(bus) {
        release_.set([this] { bus_.releaseScl(*this); });
    }
    Time writeHold = 0; // for every written byte
    Time readHold = 0;  // before the first byte sent
    std::deque<std::uint8_t> toSend;

    void startCondition(bool) override { firstRead_ = true; }
    void stopCondition() override {}
    bool addressByte(std::uint8_t address, bool) override { return address == 0x25; }
    Answer receiveByte(std::uint8_t) override {
        if (!writeHold)
            return Answer::Ack;
        hold(writeHold);
        return Answer::Stretch;
    }
    std::optional<std::uint8_t> transmitByte() override {
        if (firstRead_ && readHold) {
            firstRead_ = false;
            hold(readHold);
            return std::nullopt;
        }
        std::uint8_t b = toSend.empty() ? 0xFF : toSend.front();
        if (!toSend.empty())
            toSend.pop_front();
        return b;
    }
    void masterAcknowledge(bool) override {}

private:
    void hold(Time d) {
        bus_.holdScl(*this);
        sim_.schedule(release_, sim_.now() + d);
    }
    Simulation& sim_;
    I2cBus& bus_;
    CallbackEvent release_;
    bool firstRead_ = true;
};

// What the lines say, as "S 4a A 0b A P": conditions, bytes and acknowledge
// bits (A, N), sampled at every rising SCL edge.
std::string readBack(const std::vector<Edge>& edges) {
    bool scl = true, sda = true;
    std::string out;
    unsigned bits = 0, byte = 0;
    for (const Edge& e : edges) {
        if (e.line == I2cLine::Sda) {
            if (scl && e.level != sda) {
                out += e.level ? " P" : " S";
                bits = byte = 0;
            }
            sda = e.level;
        } else {
            if (e.level && !scl) {
                if (bits < 8) {
                    byte = byte << 1 | (sda ? 1u : 0u);
                } else {
                    char text[8];
                    std::snprintf(text, sizeof text, " %02x %c", byte, sda ? 'N' : 'A');
                    out += text;
                    byte = 0;
                }
                bits = (bits + 1) % 9;
            }
            scl = e.level;
        }
    }
    return out.empty() ? out : out.substr(1);
}

std::string expected(const I2cTransferRecord& r) {
    std::string out;
    char text[8];
    for (const I2cMessageRecord& m : r.messages) {
        std::snprintf(text, sizeof text, "S %02x %c", m.address << 1 | (m.read ? 1 : 0),
                      m.addressAcked ? 'A' : 'N');
        out += (out.empty() ? "" : " ") + std::string(text);
        for (std::size_t i = 0; i < m.bytes.size(); ++i) {
            std::snprintf(text, sizeof text, " %02x %c", m.bytes[i], m.acked[i] ? 'A' : 'N');
            out += text;
        }
    }
    return out + " P";
}

class I2cWaveformTest : public ::testing::Test {
protected:
    I2cWaveformTest() : bus_(sim_), host_(sim_, bus_), device_(sim_, bus_) {
        bus_.attach(device_);
        host_.setPhaseListener([this](const I2cPhase& p) {
            told_ = p.at;
            waveform_.step(p);
        });
    }
    ~I2cWaveformTest() override { bus_.detach(device_); }

    I2cTransferRecord transfer(std::vector<I2cMessage> messages) {
        return host_.transfer(std::move(messages));
    }
    // Edges in time order (equal times in the order drawn).
    std::vector<Edge> edges() const {
        std::vector<Edge> sorted = edges_;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Edge& a, const Edge& b) { return a.at < b.at; });
        return sorted;
    }
    std::vector<Time> times(I2cLine line, bool level) const {
        std::vector<Time> out;
        for (const Edge& e : edges()) {
            if (e.line == line && e.level == level)
                out.push_back(e.at);
        }
        return out;
    }

    Simulation sim_;
    I2cBus bus_;
    HostMaster host_;
    ScriptedDevice device_;
    std::vector<Edge> edges_;
    Time told_ = 0;
    I2cWaveform waveform_{I2cTiming::forRate(100000), [this](Time at, I2cLine line, bool level) {
                              edges_.push_back({at, line, level, told_});
                          }};
};

TEST_F(I2cWaveformTest, LinesReadBackAsTheRecordedTransfer) {
    struct Case {
        const char* name;
        std::vector<I2cMessage> messages;
        Time writeHold, readHold;
    };
    const std::vector<Case> cases = {
        {"write", {I2cMessage::write(0x25, {0x0b, 0x81})}, 0, 0},
        {"address nacked", {I2cMessage::write(0x30, {0x01})}, 0, 0},
        {"write then read",
         {I2cMessage::write(0x25, {0xfd}), I2cMessage::readBytes(0x25, 2)},
         0,
         0},
        {"stretched write", {I2cMessage::write(0x25, {0x50, 0x01, 0x08})}, microseconds(37), 0},
        {"stretched read",
         {I2cMessage::write(0x25, {0x05}), I2cMessage::readBytes(0x25, 3)},
         0,
         microseconds(23)},
        {"empty read", {I2cMessage::readBytes(0x25, 0)}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        edges_.clear();
        device_.writeHold = c.writeHold;
        device_.readHold = c.readHold;
        device_.toSend = {0x00, 0x58, 0xa5};
        I2cTransferRecord r = transfer(c.messages);
        ASSERT_FALSE(r.stuck);
        EXPECT_EQ(readBack(edges()), expected(r));
        // START and STOP on the record's times; SCL falls half a period
        // after the START and rises half a period before the STOP.
        EXPECT_EQ(times(I2cLine::Sda, false).front(), r.start);
        EXPECT_EQ(times(I2cLine::Scl, false).front(), r.start + kT / 2);
        EXPECT_EQ(times(I2cLine::Sda, true).back(), r.end);
        EXPECT_EQ(times(I2cLine::Scl, true).back(), r.end - kT / 2);
        // No edge is told later than a writer waits for it.
        for (const Edge& e : edges_)
            EXPECT_LE(e.told, e.at + I2cWaveform::lateness(kT)) << e.at;
        sim_.runFor(microseconds(100));
    }
}

TEST_F(I2cWaveformTest, ClockRunsAtItsPeriodWithDataSettledInTheLowHalf) {
    I2cTransferRecord r = transfer({I2cMessage::write(0x25, {0x0b, 0x81})});
    const std::vector<Time> rises = times(I2cLine::Scl, true);
    const std::vector<Time> falls = times(I2cLine::Scl, false);
    // 27 clock pulses, then the STOP's rise.
    ASSERT_EQ(rises.size(), 28u);
    for (std::size_t i = 0; i < 27; ++i) {
        EXPECT_EQ(rises[i], r.start + kT + i * kT) << i;
        EXPECT_EQ(falls[i + 1], rises[i] + kT / 2) << i;
    }
    // The first address bit (0x25 << 1: a 0) is on SDA a quarter period into
    // the first low half.
    const std::vector<Edge> e = edges();
    auto firstSda =
        std::find_if(e.begin() + 1, e.end(), [](const Edge& x) { return x.line == I2cLine::Sda; });
    ASSERT_NE(firstSda, e.end());
    EXPECT_EQ(firstSda->at, r.start + kT / 2 + kT / 4);
}

TEST_F(I2cWaveformTest, StretchingHoldsSclLowForTheHeldTime) {
    struct Case {
        const char* name;
        std::vector<I2cMessage> messages;
        Time writeHold, readHold;
        std::size_t pulse; // the clock pulse that comes late
    };
    const std::vector<Case> cases = {
        // The acknowledge bit of the register byte, the 18th pulse.
        {"write", {I2cMessage::write(0x25, {0x50})}, microseconds(37), 0, 17},
        // The first bit of the read byte, the 10th pulse.
        {"read", {I2cMessage::readBytes(0x25, 1)}, 0, microseconds(23), 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        edges_.clear();
        device_.writeHold = c.writeHold;
        device_.readHold = c.readHold;
        I2cTransferRecord r = transfer(c.messages);
        const std::vector<Time> rises = times(I2cLine::Scl, true);
        ASSERT_GT(rises.size(), c.pulse);
        EXPECT_EQ(rises[c.pulse - 1], r.start + c.pulse * kT);
        // The device holds SCL from the fall that ends the pulse before; the
        // master's own low phase runs inside the hold.
        EXPECT_EQ(rises[c.pulse], r.start + c.pulse * kT + kT / 2 + c.writeHold + c.readHold);
        sim_.runFor(microseconds(100));
    }
}

} // namespace
} // namespace sim
