// The host's heartbeat: a read of 0x05 or a byte with bit 7 written to 0x0B
// is host activity, nothing else is. The byte for 0x0B reaches 0x05 at once,
// and 0x0B itself when the write is applied. On valdor host activity is
// visible outside: it stops the status-LED fading, and 500 ticks without
// it start the host-lost fading on GPIO0.
#include "link_bench.h"

#include <string>

namespace link_test {
namespace {

constexpr std::uint8_t kAddr = addressOfSlot(6);

// The handler reports a heartbeat byte for 0x0B as soon as it has it, in
// the byte's eighth bit, without waiting for the STOP: in a write
// [0x0B, byte] that is half a clock period, two bytes and eight bits after
// the START.
Time heartbeatByteIn(const I2cTransferRecord& write0x0B) {
    return write0x0B.start + microseconds(5) + 2 * kByteTime + microseconds(80);
}

class HeartbeatCopy : public LinkTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        insert(GetParam(), 6);
        start();
    }
};

TEST_P(HeartbeatCopy, ByteWithBit7For0x0BGoesTo0x05AndTo0x0B) {
    write(kAddr, 0x0B, {0x81});
    EXPECT_EQ(read(kAddr, 0x05, 3), (Bytes{0x81, 0xC0, 0x81})); // 0x05, 0x09, 0x0B
}

TEST_P(HeartbeatCopy, ByteWithoutBit7GoesTo0x0BOnly) {
    write(kAddr, 0x0B, {0x7F});
    EXPECT_EQ(read(kAddr, 0x05, 3), (Bytes{0x02, 0xC0, 0x7F}));
}

// While TWI-Task is held off, the handler has already copied the byte into
// 0x05; 0x0B changes only when the task applies the write.
TEST_P(HeartbeatCopy, Copy0x05AtOnceAnd0x0BWhenApplied) {
    holdCore(*bench.board(6), 1, milliseconds(4));
    const Time held = now();
    write(kAddr, 0x0B, {0x93});
    EXPECT_EQ(read(kAddr, 0x05, 1), Bytes{0x93});
    EXPECT_EQ(read(kAddr, 0x0B, 1), Bytes{0x01});
    runUntil(held + milliseconds(4));
    EXPECT_EQ(read(kAddr, 0x0B, 1), Bytes{0x93});
    EXPECT_EQ(read(kAddr, 0x05, 1), Bytes{0x93});
}

// The host may write 0x05 itself; that is an ordinary register write.
TEST_P(HeartbeatCopy, HostMayWrite0x05Directly) {
    write(kAddr, 0x05, {0x44});
    EXPECT_EQ(read(kAddr, 0x05, 1), Bytes{0x44});
}

INSTANTIATE_TEST_SUITE_P(Images, HeartbeatCopy, ::testing::Values("valdor", "quillet"));

// valdor: GPIO1 fades (PWM) from start-up until the first host activity,
// which hands it back to software at once.
class ValdorHeartbeat : public LinkTest {
protected:
    void SetUp() override {
        board_ = &insert("valdor", 6);
        start(microseconds(30300)); // clear of the tick starts, where the analog task converts
        ASSERT_EQ(function(1), sim::gpiofn::kPwm);
    }
    unsigned function(unsigned pin) const { return board_->chip().gpio.function(pin); }
    // Function changes of the status-LED pins since `from`, as "GPIOn fn".
    std::vector<std::pair<Time, std::string>> functionChanges(Time from) {
        std::vector<std::pair<Time, std::string>> out;
        for (const sim::Record& r : records("function", board_->name(), from)) {
            if (r.text().rfind("GPIO0 ", 0) == 0 || r.text().rfind("GPIO1 ", 0) == 0)
                out.emplace_back(r.at, r.text());
        }
        return out;
    }
    using Changes = std::vector<std::pair<Time, std::string>>;
    // The board's tick grid: on the real binary the start-up breath's step
    // to level 40, ten ticks into it, on a tick where no conversion comes
    // first (its level shows at the next wrap, within the code time); whole
    // milliseconds on the host model.
    Time breathStep() {
        if (!image_backend::kElf)
            return 0;
        const std::string step = ", B 40";
        for (const sim::Record& r : records("pwm", board_->name())) {
            if (r.text().size() > step.size() &&
                r.text().compare(r.text().size() - step.size(), step.size(), step) == 0)
                return r.at;
        }
        ADD_FAILURE() << "no breath step to 40";
        return 0;
    }

    sim::Board* board_ = nullptr;
};

TEST_F(ValdorHeartbeat, ReadOf0x05IsHostActivity) {
    const I2cTransferRecord r =
        transfer({I2cMessage::write(kAddr, {0x05}), I2cMessage::readBytes(kAddr, 1)});
    settle();
    EXPECT_TRUE(sameTimeline(functionChanges(r.start), Changes{{r.end, "GPIO1 sio"}}, 0));
}

// Every byte served from 0x05 counts, also inside a longer run.
TEST_F(ValdorHeartbeat, ARunOfReadsThrough0x05IsHostActivity) {
    const I2cTransferRecord r =
        transfer({I2cMessage::write(kAddr, {0x00}), I2cMessage::readBytes(kAddr, 4)});
    EXPECT_EQ(r.messages[1].bytes, (Bytes{0x00, 0x02, 0xC0, 0x01}));
    settle();
    EXPECT_TRUE(sameTimeline(functionChanges(r.start), Changes{{r.end, "GPIO1 sio"}}, 0));
}

// A byte of 0x05 that the board fetched as the host acknowledged the byte
// before, and took back as the host ended the read there (a STOP, or a
// repeated START into the next message), never reached the host: no host
// activity. Read next, it is.
TEST_F(ValdorHeartbeat, AByteOf0x05TakenBackIsNoHostActivity) {
    const Time from = now();
    for (I2cMessage::Break how : {I2cMessage::Break::Stop, I2cMessage::Break::RepeatedStart}) {
        I2cMessage readPart = I2cMessage::readBytes(kAddr, 4);
        readPart.breakOff = how;
        readPart.breakAfter = 1;
        const I2cTransferRecord r = transfer({I2cMessage::write(kAddr, {0x00}), readPart});
        ASSERT_EQ(r.messages.size(), 2u);
        EXPECT_EQ(r.messages[1].bytes, Bytes{0x00});
    }
    runFor(milliseconds(5));
    EXPECT_TRUE(functionChanges(from).empty());
    EXPECT_EQ(function(1), sim::gpiofn::kPwm);
    const I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddr, 1)});
    EXPECT_EQ(r.messages[0].bytes, Bytes{0x02});
    settle();
    EXPECT_TRUE(sameTimeline(functionChanges(from), Changes{{r.end, "GPIO1 sio"}}, 0));
}

TEST_F(ValdorHeartbeat, WriteOfBit7To0x0BIsHostActivity) {
    const I2cTransferRecord r = write(kAddr, 0x0B, {0x80});
    settle();
    EXPECT_TRUE(
        sameTimeline(functionChanges(r.start), Changes{{heartbeatByteIn(r), "GPIO1 sio"}}, 0));
}

// Traffic that neither reads 0x05 nor writes bit 7 to 0x0B is no sign of
// the host: the start-up fading goes on.
TEST_F(ValdorHeartbeat, OtherTrafficIsNoHostActivity) {
    const Time from = now();
    write(kAddr, 0x0B, {0x7F});
    write(kAddr, 0x05, {0x80});
    write(kAddr, 0x50, {0x00, 0x00});
    read(kAddr, 0x09, 2); // 0x09, 0x0B: the run stops short of 0x05
    read(kAddr, 0xFE, 1);
    transfer({I2cMessage::write(kAddr, {0xFF}), I2cMessage::readBytes(kAddr, 10)});
    bareRead(kAddr, 3);
    runFor(milliseconds(5));
    EXPECT_TRUE(functionChanges(from).empty());
    EXPECT_EQ(function(1), sim::gpiofn::kPwm);
}

// The host-silence timer runs 500 ticks from the tick of the last host
// activity; other traffic meanwhile does not restart it. Each kind of host
// activity restarts it.
TEST_F(ValdorHeartbeat, HostLostExactly500TicksAfterTheLastActivity) {
    const Time first = heartbeatByteIn(write(kAddr, 0x0B, {0xC0}));
    runUntil(first + milliseconds(300));
    const I2cTransferRecord read05 =
        transfer({I2cMessage::write(kAddr, {0x05}), I2cMessage::readBytes(kAddr, 1)});
    const Time last = read05.end;
    // 200 ms of other traffic, right up to the host-lost moment.
    while (now() < last + milliseconds(498)) {
        write(kAddr, 0x50, {0x00});
        read(kAddr, 0x09, 1);
        runFor(milliseconds(20));
    }
    runUntil(last + milliseconds(501) + kCodeTime);
    Changes seen = functionChanges(first);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(sameTimeline(Changes{seen[0]}, Changes{{first, "GPIO1 sio"}}, 0));
    EXPECT_EQ(seen[1].second, "GPIO0 pwm");
    EXPECT_TRUE(ticksAfter(seen[1].first, last, 500, breathStep()));

    // A byte with bit 7 to 0x0B brings the host back; the next silence is
    // timed from it.
    const Time lost = seen[1].first;
    runUntil(lost + microseconds(40300));
    const Time back = heartbeatByteIn(write(kAddr, 0x0B, {0xFF}));
    runUntil(back + milliseconds(501) + kCodeTime);
    seen = functionChanges(lost + microseconds(1));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(sameTimeline(Changes{seen[0]}, Changes{{back, "GPIO0 sio"}}, 0));
    EXPECT_EQ(seen[1].second, "GPIO0 pwm");
    EXPECT_TRUE(ticksAfter(seen[1].first, back, 500, breathStep()));
}

// A host that keeps up its heartbeat every 400 ticks is never lost.
TEST_F(ValdorHeartbeat, HeartbeatEvery400TicksKeepsTheHost) {
    const Time from = now();
    Time last = 0;
    for (int i = 0; i < 5; ++i) {
        last = transfer({I2cMessage::write(kAddr, {0x05}), I2cMessage::readBytes(kAddr, 1)}).end;
        runUntil(last + milliseconds(400));
    }
    EXPECT_TRUE(
        sameTimeline(functionChanges(from), Changes{{from + microseconds(390), "GPIO1 sio"}}, 0));
    runUntil(last + milliseconds(500) + kCodeTime + microseconds(1));
    const std::pair<Time, std::string> lost = functionChanges(from).back();
    EXPECT_EQ(lost.second, "GPIO0 pwm");
    EXPECT_TRUE(ticksAfter(lost.first, last, 500, breathStep()));
}

} // namespace
} // namespace link_test
