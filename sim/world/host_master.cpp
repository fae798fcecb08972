#include "host_master.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace sim {

HostMaster::HostMaster(Simulation& sim, I2cBus& bus, std::uint32_t sclHz)
    : sim_(sim), bus_(bus), period_(seconds(1) / sclHz), half_(period_ / 2),
      stretchLimit_(seconds(1)) {
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
        sim_.schedule(pollEvent_, sim_.now() + period_);
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
        // The device answers as it lets SCL go; the acknowledge bit takes
        // its clock period from there.
        writeAcknowledged(bus_.stretchedWriteAcknowledged());
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
    after(half_ + 8 * period_, &HostMaster::addressPhase);
}

void HostMaster::restartCondition() {
    openMessage();
    bus_.start(true);
    phase(I2cPhase::Kind::RepeatedStart);
    after(half_ + 8 * period_, &HostMaster::addressPhase);
}

// The eighth bit of the address byte is in; the acknowledge bit follows.
void HostMaster::addressPhase() {
    const I2cMessage& m = message();
    bool ack = bus_.address(m.address, m.read);
    messageRecord().addressAcked = ack;
    phase(I2cPhase::Kind::Address, static_cast<std::uint8_t>(m.address << 1 | (m.read ? 1 : 0)),
          ack);
    position_ = 0;
    if (!ack)
        after(2 * period_, &HostMaster::stopCondition);
    else if (!m.read && breaksHere())
        after(period_, &HostMaster::breakOff);
    else if (m.read)
        after(period_, m.length ? &HostMaster::readPhase : &HostMaster::nextMessage);
    else if (!m.data.empty())
        after(9 * period_, &HostMaster::writePhase);
    else
        after(period_, &HostMaster::nextMessage);
}

// The eighth bit of a data byte is in the slave.
void HostMaster::writePhase() {
    std::uint8_t byte = message().data[position_];
    messageRecord().bytes.push_back(byte);
    phase(I2cPhase::Kind::Write, byte);
    switch (bus_.write(byte)) {
    case I2cDevice::Answer::Ack:
        writeAcknowledged(true);
        break;
    case I2cDevice::Answer::Nack:
        writeAcknowledged(false);
        break;
    case I2cDevice::Answer::Stretch:
        waitForScl(Wait::WriteAck);
        break;
    }
}

void HostMaster::writeAcknowledged(bool ack) {
    messageRecord().acked.push_back(ack);
    phase(I2cPhase::Kind::WriteAck, 0, ack);
    ++position_;
    if (!ack)
        after(2 * period_, &HostMaster::stopCondition);
    else if (breaksHere())
        after(period_, &HostMaster::breakOff);
    else if (position_ < message().data.size())
        after(9 * period_, &HostMaster::writePhase);
    else
        after(period_, &HostMaster::nextMessage);
}

// SCL is low before a byte the slave sends: the slave must have it now.
void HostMaster::readPhase() {
    std::optional<std::uint8_t> byte = bus_.read();
    if (!byte) {
        waitForScl(Wait::Read);
        return;
    }
    if (breaksHere()) {
        unclocked_ = byte;
        breakOff();
        return;
    }
    messageRecord().bytes.push_back(*byte);
    phase(I2cPhase::Kind::Read, *byte);
    after(9 * period_, &HostMaster::readDone);
}

// The master acknowledges every byte but the last one it wants (and, when
// told to, one before it; it clocks on after that).
void HostMaster::readDone() {
    bool ack = position_ + 1 < message().length && position_ < message().nackAt;
    messageRecord().acked.push_back(ack);
    phase(I2cPhase::Kind::ReadAck, 0, ack);
    bus_.acknowledge(ack);
    ++position_;
    if (position_ < message().length)
        readPhase();
    else
        nextMessage();
}

// SCL is low after the last acknowledge bit of a message.
void HostMaster::nextMessage() {
    ++index_;
    if (index_ < job_.messages.size())
        after(period_, &HostMaster::restartCondition);
    else
        after(period_, &HostMaster::stopCondition);
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
        after(period_, &HostMaster::stopCondition);
        break;
    case I2cMessage::Break::RepeatedStart:
        if (index_ + 1 < job_.messages.size()) {
            ++index_;
            after(period_, &HostMaster::restartCondition);
        } else {
            after(period_, &HostMaster::emptyRestart);
        }
        break;
    case I2cMessage::Break::Hang:
    case I2cMessage::Break::None:
        after(message().hangFor + 8 * period_, &HostMaster::recoveryClocks);
        break;
    }
}

// A repeated START with nothing after it: STOP follows.
void HostMaster::emptyRestart() {
    bus_.start(true);
    phase(I2cPhase::Kind::RepeatedStart);
    after(2 * period_, &HostMaster::stopCondition);
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
        after(2 * period_, &HostMaster::stopCondition);
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
    after(2 * period_, &HostMaster::stopCondition);
}

void HostMaster::stopCondition() {
    bus_.stop();
    phase(I2cPhase::Kind::Stop);
    record_.end = sim_.now();
    busFreeAt_ = sim_.now() + half_;
    finish();
}

void HostMaster::phase(I2cPhase::Kind kind, std::uint8_t byte, bool ack) {
    if (phases_)
        phases_(I2cPhase{kind, sim_.now(), byte, ack});
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
