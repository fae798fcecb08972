#include "host_master.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace sim {

HostMaster::HostMaster(Simulation& sim, I2cBus& bus, std::uint32_t sclHz)
    : sim_(sim), bus_(bus), timing_(I2cTiming::forRate(sclHz)), stretchLimit_(seconds(1)) {
    bus_.setSclReleasedListener([this] { sclReleased(); });
    stepEvent_.set([this] {
        auto step = nextStep_;
        nextStep_ = nullptr;
        if (step)
            (this->*step)();
    });
    limitEvent_.set([this] { gaveUp(); });
    pollEvent_.set([this] { sclReleased(); });
}

void HostMaster::setRate(std::uint32_t hz) {
    timing_ = I2cTiming::forRate(hz);
}

void HostMaster::setKind(I2cHostKind kind, std::uint64_t seed) {
    kind_ = kind;
    pauses_.reset();
    if (kind == I2cHostKind::Bitbang)
        pauses_.emplace(seed);
}

// A bit-banging master preempted where SCL is low, between bytes.
Time HostMaster::pause() {
    return pauses_ ? pauses_->next() : 0;
}

void HostMaster::begin(std::vector<I2cMessage> messages, Done done) {
    pending_.push_back({std::move(messages), std::move(done)});
    if (!active_)
        startNext();
}

I2cTransferRecord HostMaster::transfer(std::vector<I2cMessage> messages) {
    // Shared, so that a run stopped by an error leaves nothing dangling.
    auto result = std::make_shared<std::optional<I2cTransferRecord>>();
    begin(std::move(messages), [result](const I2cTransferRecord& r) { *result = r; });
    // Until the record is in: a chip whose code takes time may end the
    // transfer long before the event that was next when it began.
    while (!result->has_value() && !sim_.stopped()) {
        Time next = sim_.events().nextTime();
        if (next == kNever)
            break;
        sim_.runUntil(next, [&result] { return result->has_value(); });
    }
    return result->value_or(I2cTransferRecord{});
}

void HostMaster::after(Time delay, void (HostMaster::*step)()) {
    nextStep_ = step;
    sim_.schedule(stepEvent_, sim_.now() + delay);
}

void HostMaster::waitForScl(Wait what) {
    waiting_ = what;
    sim_.schedule(limitEvent_, sim_.now() + stretchLimit_);
    pollLines();
}

// A line pulled low by a plain output gives no sign when it is let go: look
// again after a clock period.
void HostMaster::pollLines() {
    I2cBus::Lines low = bus_.forcedLow();
    if ((low.scl || low.sda) && !pollEvent_.scheduled())
        sim_.schedule(pollEvent_, sim_.now() + timing_.period());
}

void HostMaster::sclReleased() {
    if (waiting_ == Wait::None)
        return;
    // A START also needs SDA high.
    if (bus_.sclHeld() || (waiting_ == Wait::BusFree && bus_.forcedLow().sda)) {
        pollLines();
        return;
    }
    Wait what = waiting_;
    waiting_ = Wait::None;
    sim_.events().cancel(limitEvent_);
    sim_.events().cancel(pollEvent_);
    switch (what) {
    case Wait::BusFree:
        startCondition();
        break;
    case Wait::Read:
        readPhase();
        break;
    case Wait::WriteAck:
        writeHeld(bus_.stretchedWriteAcknowledged());
        break;
    case Wait::RecoveryAck:
        recoveryDone(bus_.stretchedWriteAcknowledged());
        break;
    case Wait::None:
        break;
    }
}

// A line has stayed low past the limit: a real master would hang; this one
// records the transfer as stuck and moves on. No STOP can be sent.
void HostMaster::gaveUp() {
    if (waiting_ == Wait::None)
        return;
    waiting_ = Wait::None;
    sim_.events().cancel(pollEvent_);
    record_.stuck = true;
    record_.end = sim_.now();
    phase(I2cPhase::Kind::GaveUp);
    finish();
}

void HostMaster::startNext() {
    job_ = std::move(pending_.front());
    pending_.pop_front();
    active_ = true;
    record_ = I2cTransferRecord{};
    index_ = 0;
    unclocked_.reset();
    after(std::max(sim_.now(), busFreeAt_) - sim_.now(), &HostMaster::startCondition);
}

void HostMaster::openMessage() {
    const I2cMessage& m = message();
    I2cMessageRecord r;
    r.address = m.address;
    r.read = m.read;
    r.length = m.read ? m.length : m.data.size();
    r.start = sim_.now();
    record_.messages.push_back(std::move(r));
}

void HostMaster::startCondition() {
    if (job_.messages.empty()) {
        record_.start = record_.end = sim_.now();
        finish();
        return;
    }
    if (bus_.sclHeld() || bus_.forcedLow().sda) {
        waitForScl(Wait::BusFree);
        return;
    }
    record_.start = sim_.now();
    openMessage();
    bus_.start(false);
    phase(I2cPhase::Kind::Start);
    after(timing_.hdSta + 8 * timing_.period(), &HostMaster::addressPhase);
}

void HostMaster::restartCondition() {
    openMessage();
    bus_.start(true);
    phase(I2cPhase::Kind::RepeatedStart);
    after(timing_.hdSta + 8 * timing_.period(), &HostMaster::addressPhase);
}

// The eighth bit of the address byte is in; the acknowledge bit follows.
void HostMaster::addressPhase() {
    const I2cMessage& m = message();
    bool ack = bus_.address(m.address, m.read);
    messageRecord().addressAcked = ack;
    I2cPhase p{I2cPhase::Kind::Address, sim_.now(),
               static_cast<std::uint8_t>(m.address << 1 | (m.read ? 1 : 0)), ack};
    p.slaveHold = bus_.sdaHold();
    phase(p);
    position_ = 0;
    behind_ = 0;
    leftoverBits_ = 0;
    const Time T = timing_.period();
    if (!ack)
        after(T + toStop(), &HostMaster::stopCondition);
    else if (!m.read && breaksHere())
        after(T, &HostMaster::breakOff);
    else if (m.read)
        after(T + pause(), m.length ? &HostMaster::readPhase : &HostMaster::nextMessage);
    else if (!m.data.empty())
        after(T + pause() + 8 * T, &HostMaster::writePhase);
    else
        after(T, &HostMaster::nextMessage);
}

// The eighth bit of a data byte is in the slave.
void HostMaster::writePhase() {
    std::uint8_t byte = message().data[position_];
    messageRecord().bytes.push_back(byte);
    phase(I2cPhase::Kind::Write, byte);
    byteIn_ = sim_.now();
    switch (bus_.write(byte)) {
    case I2cDevice::Answer::Ack:
        writeAcknowledged(true, byteIn_ + timing_.period());
        break;
    case I2cDevice::Answer::Nack:
        writeAcknowledged(false, byteIn_ + timing_.period());
        break;
    case I2cDevice::Answer::Stretch:
        waitForScl(Wait::WriteAck);
        break;
    }
}

// A device held the acknowledge bit of a byte it received and lets SCL go
// now, its answer on SDA since it did. A master that does not wait may have
// read SDA before that.
void HostMaster::writeHeld(bool ack) {
    const Time release = sim_.now();
    const HeldClock c = heldClock(kind_, timing_, byteIn_ + timing_.low, release);
    const Time shown = release - std::min(release - byteIn_, bus_.sdaSetup());
    const bool seen = ack && c.sample >= shown;
    I2cPhase p{I2cPhase::Kind::WriteAck, byteIn_, 0, seen};
    p.slaveHold = bus_.sdaHold();
    p.release = c.pulse ? c.rise : c.fall;
    p.sdaAt = std::max(byteIn_ + p.slaveHold, shown);
    p.fall = c.fall;
    writeAcknowledged(seen, c.fall, &p);
}

void HostMaster::writeAcknowledged(bool ack, Time ackFall, const I2cPhase* held) {
    messageRecord().acked.push_back(ack);
    if (held) {
        phase(*held);
    } else {
        I2cPhase p{I2cPhase::Kind::WriteAck, byteIn_, 0, ack};
        p.slaveHold = bus_.sdaHold();
        phase(p);
    }
    ++position_;
    const Time toFall = ackFall - sim_.now();
    if (!ack)
        after(toFall + toStop(), &HostMaster::stopCondition);
    else if (breaksHere())
        after(toFall, &HostMaster::breakOff);
    else if (position_ < message().data.size())
        after(toFall + pause() + 8 * timing_.period(), &HostMaster::writePhase);
    else
        after(toFall, &HostMaster::nextMessage);
}

// SCL fell before a byte the slave sends: it had the master's whole low
// phase to get it ready; if it holds SCL past it, the master waits (or not,
// see i2c_host_model.h).
void HostMaster::readPhase() {
    if (!readHeld_)
        byteFall_ = sim_.now();
    std::optional<std::uint8_t> byte = bus_.read();
    if (!byte) {
        readHeld_ = true;
        waitForScl(Wait::Read);
        return;
    }
    const bool held = readHeld_;
    readHeld_ = false;
    if (breaksHere()) {
        unclocked_ = byte;
        breakOff();
        return;
    }
    clockRead(*byte, held ? sim_.now() : 0);
}

// The eight data clocks of a read byte, from the master's first rise on
// (`release`: when a device let SCL go after holding it, 0 if none did).
void HostMaster::clockRead(std::uint8_t byte, Time release) {
    const Time T = timing_.period();
    Time grid = byteFall_ + timing_.low;
    Time sample0 = grid + timing_.high / 2;
    unsigned missed = 0;
    if (release > grid) {
        const HeldClock c = heldClock(kind_, timing_, grid, release);
        sample0 = c.sample;
        if (c.waited) {
            grid = release;
        } else {
            // Clocks that ended before the release, or left a pulse the
            // device's filter drops, never reached it.
            const Time spike = bus_.spikeFilter();
            for (; missed < 8; ++missed) {
                const Time rise = grid + missed * T;
                const Time fall = rise + timing_.high;
                if (release <= rise || (release < fall && fall - release > spike))
                    break;
            }
        }
    }
    // The first bit shows on SDA as the device gets it; the master takes
    // whatever SDA shows at its samples.
    const Time shown = release ? release - std::min(release, bus_.sdaSetup()) : 0;
    auto bit = [byte](unsigned j) { return (byte >> (7 - j)) & 1u; };
    std::uint8_t seen = 0;
    for (unsigned i = 0; i < 8; ++i) {
        const Time sample = i == 0 ? sample0 : grid + i * T + timing_.high / 2;
        const unsigned v = i <= missed ? (sample >= shown ? bit(0) : 1u) : bit(i - missed);
        seen = static_cast<std::uint8_t>(seen << 1 | v);
    }
    if (leftoverBits_) {
        seen &= leftover_;
        leftoverBits_ = 0;
    }
    behind_ = missed;
    if (missed > 1) {
        leftoverBits_ = missed - 1;
        leftover_ = static_cast<std::uint8_t>((byte << (9 - missed)) | (0xFFu >> (missed - 1)));
    }
    messageRecord().bytes.push_back(seen);
    I2cPhase p{I2cPhase::Kind::Read, grid - timing_.low, seen};
    p.slaveHold = bus_.sdaHold();
    p.release = release;
    p.sdaAt = std::max(p.at + p.slaveHold, shown);
    p.fall = byteFall_;
    phase(p);
    const Time sampleAck = grid + 8 * T;
    after(std::max(sampleAck, sim_.now()) - sim_.now(), &HostMaster::readSample);
}

// The master acknowledges every byte but the last one it wants (and, when
// told to, one before it; it clocks on after that). The device samples the
// bit as SCL rises; a device that fell behind takes it as one of its bits
// and, finding SDA let go at its own acknowledge bit, stops sending.
void HostMaster::readSample() {
    readAck_ = position_ + 1 < message().length && position_ < message().nackAt;
    messageRecord().acked.push_back(readAck_);
    bus_.acknowledge(behind_ ? false : readAck_);
    after(timing_.high, &HostMaster::readDone);
}

void HostMaster::readDone() {
    phase(I2cPhase::Kind::ReadAck, 0, readAck_);
    ++position_;
    if (position_ >= message().length)
        nextMessage();
    else if (const Time p = pause())
        after(p, &HostMaster::readPhase);
    else
        readPhase();
}

// SCL is low after the last acknowledge bit of a message.
void HostMaster::nextMessage() {
    ++index_;
    if (index_ < job_.messages.size())
        after(pause() + toRestart(), &HostMaster::restartCondition);
    else
        after(pause() + toStop(), &HostMaster::stopCondition);
}

bool HostMaster::breaksHere() const {
    const I2cMessage& m = job_.messages[index_];
    const std::size_t size = m.read ? m.length : m.data.size();
    return m.breakOff != I2cMessage::Break::None && position_ == m.breakAfter &&
           (position_ < size || !m.read);
}

// SCL is low where the next byte would begin.
void HostMaster::breakOff() {
    const I2cMessage::Break how = message().breakOff;
    messageRecord().brokenOff = how;
    if (how != I2cMessage::Break::Hang)
        unclocked_.reset();
    switch (how) {
    case I2cMessage::Break::Stop:
        after(toStop(), &HostMaster::stopCondition);
        break;
    case I2cMessage::Break::RepeatedStart:
        if (index_ + 1 < job_.messages.size()) {
            ++index_;
            after(toRestart(), &HostMaster::restartCondition);
        } else {
            after(toRestart(), &HostMaster::emptyRestart);
        }
        break;
    case I2cMessage::Break::Hang:
    case I2cMessage::Break::None:
        after(message().hangFor + 8 * timing_.period(), &HostMaster::recoveryClocks);
        break;
    }
}

// A repeated START with nothing after it: STOP follows.
void HostMaster::emptyRestart() {
    bus_.start(true);
    phase(I2cPhase::Kind::RepeatedStart);
    after(timing_.period() + toStop(), &HostMaster::stopCondition);
}

// Nine clocks with SDA let go, as a bus recovery gives them: a receiving
// device takes them as a byte of ones and acknowledges it, a sending device
// clocks its byte out and hears no acknowledge.
void HostMaster::recoveryClocks() {
    record_.recovered = true;
    if (unclocked_) {
        record_.recoveryByte = *unclocked_;
        unclocked_.reset();
        phase(I2cPhase::Kind::Recovery, record_.recoveryByte, false);
        bus_.acknowledge(false);
        after(timing_.period() + toStop(), &HostMaster::stopCondition);
        return;
    }
    record_.recoveryByte = 0xFF;
    switch (bus_.write(0xFF)) {
    case I2cDevice::Answer::Ack:
        recoveryDone(true);
        break;
    case I2cDevice::Answer::Nack:
        recoveryDone(false);
        break;
    case I2cDevice::Answer::Stretch:
        waitForScl(Wait::RecoveryAck);
        break;
    }
}

void HostMaster::recoveryDone(bool ack) {
    phase(I2cPhase::Kind::Recovery, 0xFF, ack);
    after(timing_.period() + toStop(), &HostMaster::stopCondition);
}

void HostMaster::stopCondition() {
    bus_.stop();
    phase(I2cPhase::Kind::Stop);
    record_.end = sim_.now();
    busFreeAt_ = sim_.now() + timing_.busFree;
    finish();
}

void HostMaster::phase(I2cPhase::Kind kind, std::uint8_t byte, bool ack) {
    phase(I2cPhase{kind, sim_.now(), byte, ack});
}

void HostMaster::phase(I2cPhase p) {
    if (phases_)
        phases_(p);
}

void HostMaster::finish() {
    active_ = false;
    sim_.events().cancel(limitEvent_);
    I2cTransferRecord record = std::move(record_);
    record_ = I2cTransferRecord{};
    bus_.record(record);
    Done done = std::move(job_.done);
    job_ = Job{};
    if (done)
        done(record);
    if (!active_ && !pending_.empty())
        startNext();
}

} // namespace sim
