// The host controller models against a slave that holds SCL before the first
// byte it sends, drawn on the lines: what each master reads, and the clock
// pulse the slave gets when it lets go. Also the master's timing at both
// speed modes, checked edge by edge against UM10204's limits.
#include "world/host_master.h"
#include "world/i2c_bus.h"
#include "world/i2c_waveform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <vector>

namespace sim {
namespace {

// A slave at 0x25 with the RP2040 block's line timing at the SDK's 100 kHz
// set-up: SDA held 304 ns after SCL falls, bits set up 800 ns before it
// lets SCL go, pulses of 368 ns or less filtered out.
class HoldingSlave : public I2cDevice {
public:
    HoldingSlave(Simulation& sim, I2cBus& bus) : sim_(sim), bus_(bus) {
        release_.set([this] { bus_.releaseScl(*this); });
    }
    Time hold = 0; // from the fall before the first byte it sends
    std::deque<std::uint8_t> toSend;

    void startCondition(bool) override { first_ = true; }
    void stopCondition() override {}
    bool addressByte(std::uint8_t address, bool) override {
        done_ = false;
        return address == 0x25;
    }
    Answer receiveByte(std::uint8_t b) override {
        received.push_back(b);
        return Answer::Ack;
    }
    std::vector<std::uint8_t> received;
    std::optional<std::uint8_t> transmitByte() override {
        if (done_)
            return 0xFF;
        if (first_ && hold) {
            first_ = false;
            bus_.holdScl(*this);
            sim_.schedule(release_, sim_.now() + hold);
            return std::nullopt;
        }
        std::uint8_t b = toSend.front();
        toSend.pop_front();
        return b;
    }
    void masterAcknowledge(bool ack) override { done_ = !ack; }
    Time sdaHoldTime() const override { return nanoseconds(304); }
    Time sdaSetupTime() const override { return nanoseconds(800); }
    Time spikeFilter() const override { return nanoseconds(368); }

private:
    Simulation& sim_;
    I2cBus& bus_;
    CallbackEvent release_;
    bool first_ = true;
    bool done_ = false;
};

struct Edge {
    Time at;
    I2cLine line;
    bool level;
};

struct Lines {
    Simulation sim;
    I2cBus bus{sim};
    HostMaster host{sim, bus};
    HoldingSlave slave{sim, bus};
    std::vector<Edge> edges;
    std::unique_ptr<I2cWaveform> waveform;

    Lines(std::uint32_t hz, I2cHostKind kind, std::uint64_t seed = 1) {
        host.setRate(hz);
        host.setKind(kind, seed);
        bus.attach(slave);
        waveform = std::make_unique<I2cWaveform>(host.timing(), [this](Time at, I2cLine l, bool v) {
            edges.push_back({at, l, v});
        });
        host.setPhaseListener([this](const I2cPhase& p) { waveform->step(p); });
    }
    ~Lines() { bus.detach(slave); }

    std::vector<Edge> sorted() const {
        std::vector<Edge> e = edges;
        std::stable_sort(e.begin(), e.end(),
                         [](const Edge& a, const Edge& b) { return a.at < b.at; });
        return e;
    }
    std::vector<Time> scl(bool level) const {
        std::vector<Time> out;
        for (const Edge& e : sorted()) {
            if (e.line == I2cLine::Scl && e.level == level)
                out.push_back(e.at);
        }
        return out;
    }
};

TEST(HostModelTest, EachHostReadsAHeldByteAsItsControllerDoes) {
    // 100 kHz: the master's rise comes 5 us after the fall, its high phase
    // lasts 5 us, it samples 2.5 us into it. The slave sends 0x34 then 0x12.
    struct Case {
        I2cHostKind kind;
        Time hold;
        std::vector<std::uint8_t> read;
        Time pulse; // the first data clock's high pulse on the bus
    };
    using K = I2cHostKind;
    const Time us = microseconds(1);
    const std::vector<Case> cases = {
        // Released inside the master's own low phase: nothing shows.
        {K::Ideal, 3 * us, {0x34, 0x12}, 5 * us},
        {K::NoStretch, 3 * us, {0x34, 0x12}, 5 * us},
        {K::Bcm2835, 3 * us, {0x34, 0x12}, 5 * us},
        // A stretch honoured: a full high phase from the release.
        {K::Ideal, 8 * us, {0x34, 0x12}, 5 * us},
        // Released in the master's high phase: a truncated pulse, the bit
        // read right while the slave had it out before the sample...
        {K::NoStretch, 6 * us, {0x34, 0x12}, 4 * us},
        {K::Bcm2835, 6 * us, {0x34, 0x12}, 4 * us},
        // ... and misread (SDA let go: 1) when it came later.
        {K::NoStretch, 9 * us, {0xB4, 0x12}, 1 * us},
        {K::Bcm2835, 9 * us, {0xB4, 0x12}, 1 * us},
        // A pulse under the slave's filter: it falls a bit behind, ends its
        // part at its own acknowledge bit, and the next byte is the pull-up.
        {K::NoStretch, 9800 * nanoseconds(1), {0x9A, 0xFF}, 200 * nanoseconds(1)},
        {K::Bcm2835, 9800 * nanoseconds(1), {0x9A, 0xFF}, 200 * nanoseconds(1)},
        // Still held when the Pi looks at SCL: waited out, the safe case.
        {K::Bcm2835, 12 * us, {0x34, 0x12}, 5 * us},
        // A master that never waits runs two clocks under the hold: the
        // slave is two bits behind, its last bit (0) lands in the next byte.
        {K::NoStretch, 25 * us, {0xCD, 0x7F}, 5 * us},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(hostKindName(c.kind)) + " hold " + std::to_string(c.hold));
        Lines l(100000, c.kind);
        l.slave.hold = c.hold;
        l.slave.toSend = {0x34, 0x12};
        I2cTransferRecord r = l.host.transfer({I2cMessage::readBytes(0x25, 2)});
        ASSERT_FALSE(r.stuck);
        EXPECT_EQ(r.messages[0].bytes, c.read);
        // The address byte and its acknowledge are nine pulses; the fall
        // that ends the ninth begins the held byte.
        const std::vector<Time> rises = l.scl(true), falls = l.scl(false);
        ASSERT_GT(rises.size(), 9u);
        const Time fall = falls[9];
        const Time firstRise =
            *std::find_if(rises.begin(), rises.end(), [&](Time t) { return t > fall; });
        const Time firstFall =
            *std::find_if(falls.begin(), falls.end(), [&](Time t) { return t > firstRise; });
        EXPECT_EQ(firstFall - firstRise, c.pulse);
        EXPECT_EQ(firstRise - fall, std::max<Time>(c.hold, 5 * us));
    }
}

TEST(HostModelTest, MasterTimingMeetsTheBusLimitsAtBothSpeeds) {
    for (std::uint32_t hz : {100000u, 400000u}) {
        SCOPED_TRACE(hz);
        Lines l(hz, I2cHostKind::Ideal);
        l.slave.toSend = {0x5a};
        I2cTransferRecord r = l.host.transfer(
            {I2cMessage::write(0x25, {0x0b, 0x81}), I2cMessage::readBytes(0x25, 1)});
        ASSERT_FALSE(r.nacked());
        I2cTransferRecord next = l.host.transfer({I2cMessage::write(0x25, {0x00})});
        const I2cLimits min = I2cLimits::forRate(hz);
        EXPECT_GE(next.start - r.end, min.busFree);
        bool scl = true, sda = true;
        Time sclAt = 0;
        for (const Edge& e : l.sorted()) {
            if (e.line == I2cLine::Scl) {
                if (e.level == scl)
                    continue;
                const Time span = e.at - sclAt;
                if (sclAt != 0) {
                    EXPECT_GE(span, scl ? min.high : min.low) << e.at;
                }
                scl = e.level;
                sclAt = e.at;
            } else {
                if (e.level == sda)
                    continue;
                if (scl && sclAt != 0) {
                    // A STOP or repeated START, set up after the rise.
                    EXPECT_GE(e.at - sclAt, e.level ? min.suSto : min.suSta) << e.at;
                } else if (!scl) {
                    // A data change, held no longer than the limit.
                    EXPECT_LE(e.at - sclAt, min.hdDatMax) << e.at;
                }
                sda = e.level;
            }
        }
        // The master's low phase is what it leaves a slave to answer in.
        EXPECT_EQ(l.host.timing().low, hz == 100000 ? microseconds(5) : nanoseconds(1300));
    }
}

TEST(HostModelTest, BitbangPausesAreSeededAndSpanFiftyMicrosecondsToThirtyMilliseconds) {
    BitbangPauses a(7), b(7), c(8);
    std::vector<Time> drawn;
    bool differs = false;
    for (int i = 0; i < 4000; ++i) {
        const Time t = a.next();
        EXPECT_EQ(t, b.next());
        differs = differs || t != c.next();
        if (t)
            drawn.push_back(t);
    }
    EXPECT_TRUE(differs);
    // One stop in eight places, log-uniform: as many below 1.2 ms as above.
    EXPECT_NEAR(static_cast<double>(drawn.size()), 500.0, 70.0);
    const auto [lo, hi] = std::minmax_element(drawn.begin(), drawn.end());
    EXPECT_GE(*lo, microseconds(50));
    EXPECT_LT(*lo, microseconds(100));
    EXPECT_LE(*hi, milliseconds(30));
    EXPECT_GT(*hi, milliseconds(25));
    const auto below =
        std::count_if(drawn.begin(), drawn.end(), [](Time t) { return t < microseconds(1225); });
    EXPECT_NEAR(static_cast<double>(below) / static_cast<double>(drawn.size()), 0.5, 0.08);
}

TEST(HostModelTest, BitbangStopsBetweenBytesWithSclLowAndLosesNothing) {
    // Each byte's eighth bit comes nine clocks after the last one's, or a
    // pause later; SCL stays low through it (no edge inside a gap).
    const Time T = microseconds(10);
    std::vector<std::uint8_t> data(60);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 37 + 1);
    Lines l(100000, I2cHostKind::Bitbang, 3);
    std::vector<Time> in;
    l.host.setPhaseListener([&](const I2cPhase& p) {
        l.waveform->step(p);
        if (p.kind == I2cPhase::Kind::Write)
            in.push_back(p.at);
    });
    I2cTransferRecord r = l.host.transfer({I2cMessage::write(0x25, data)});
    EXPECT_EQ(r.messages[0].acked, std::vector<bool>(data.size(), true));
    EXPECT_EQ(l.slave.received, data);
    unsigned paused = 0;
    Time longest = 0;
    const std::vector<Edge> edges = l.sorted();
    for (std::size_t i = 1; i < in.size(); ++i) {
        const Time gap = in[i] - in[i - 1] - 9 * T;
        if (gap == 0)
            continue;
        ++paused;
        longest = std::max(longest, gap);
        EXPECT_GE(gap, BitbangPauses::kShortest);
        EXPECT_LE(gap, BitbangPauses::kLongest);
        // From the acknowledge's fall to the next byte's first rise: quiet.
        const Time from = in[i - 1] + T, to = in[i] - 8 * T + microseconds(5);
        for (const Edge& e : edges) {
            if (e.line == I2cLine::Scl && e.at > from && e.at < to)
                ADD_FAILURE() << "SCL edge at " << e.at << " inside a pause";
        }
    }
    EXPECT_GE(paused, 3u);
    EXPECT_GT(longest, milliseconds(1));
    // Another seed stops elsewhere.
    Lines other(100000, I2cHostKind::Bitbang, 4);
    I2cTransferRecord o = other.host.transfer({I2cMessage::write(0x25, data)});
    EXPECT_NE(o.end - o.start, r.end - r.start);
}

TEST(HostModelTest, BitbangWaitsOutAStretchAsIdealDoes) {
    // Seed 2 does not stop before the first byte: the hold counts from the
    // address's acknowledge, as for an ideal master.
    for (I2cHostKind kind : {I2cHostKind::Ideal, I2cHostKind::Bitbang}) {
        SCOPED_TRACE(hostKindName(kind));
        Lines l(100000, kind, 2);
        l.slave.hold = microseconds(20);
        l.slave.toSend = {0x34, 0x12};
        I2cTransferRecord r = l.host.transfer({I2cMessage::readBytes(0x25, 2)});
        EXPECT_EQ(r.messages[0].bytes, (std::vector<std::uint8_t>{0x34, 0x12}));
        const std::vector<Time> rises = l.scl(true), falls = l.scl(false);
        ASSERT_GT(rises.size(), 10u);
        EXPECT_EQ(rises[9] - falls[9], microseconds(20));
    }
}

} // namespace
} // namespace sim
