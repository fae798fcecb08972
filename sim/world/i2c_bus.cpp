#include "i2c_bus.h"

#include <algorithm>

namespace sim {

I2cBus::I2cBus(Simulation& sim) : sim_(sim) {
    releaseEvent_.set([this] {
        if (sclReleased_)
            sclReleased_();
    });
}

I2cBus::~I2cBus() {
    std::vector<I2cDevice*> devices;
    devices.swap(devices_);
    for (I2cDevice* d : devices)
        d->busRemoved();
}

void I2cBus::attach(I2cDevice& device) {
    if (std::find(devices_.begin(), devices_.end(), &device) == devices_.end())
        devices_.push_back(&device);
}

void I2cBus::detach(I2cDevice& device) {
    devices_.erase(std::remove(devices_.begin(), devices_.end(), &device), devices_.end());
    addressed_.erase(std::remove_if(addressed_.begin(), addressed_.end(),
                                    [&](const Answering& a) { return a.device == &device; }),
                     addressed_.end());
    releaseScl(device);
}

void I2cBus::holdScl(I2cDevice& device) {
    if (std::find(holders_.begin(), holders_.end(), &device) == holders_.end())
        holders_.push_back(&device);
}

void I2cBus::releaseScl(I2cDevice& device) {
    auto it = std::find(holders_.begin(), holders_.end(), &device);
    if (it == holders_.end())
        return;
    holders_.erase(it);
    // The master notices SCL rise as the world's next step, never inside the
    // firmware context that wrote the byte.
    if (holders_.empty())
        sim_.schedule(releaseEvent_, sim_.now());
}

int I2cBus::addLineProbe(LineProbe probe) {
    probes_.emplace_back(nextProbe_, std::move(probe));
    return nextProbe_++;
}

void I2cBus::removeLineProbe(int id) {
    probes_.erase(std::remove_if(probes_.begin(), probes_.end(),
                                 [id](const auto& p) { return p.first == id; }),
                  probes_.end());
}

I2cBus::Lines I2cBus::forcedLow() const {
    Lines low;
    for (const auto& p : probes_) {
        Lines l = p.second();
        low.sda |= l.sda;
        low.scl |= l.scl;
    }
    return low;
}

void I2cBus::start(bool repeated) {
    addressed_.clear();
    for (I2cDevice* d : devices_)
        d->startCondition(repeated);
}

void I2cBus::stop() {
    addressed_.clear();
    for (I2cDevice* d : devices_)
        d->stopCondition();
}

bool I2cBus::address(std::uint8_t address, bool read) {
    addressed_.clear();
    bool sdaLow = forcedLow().sda;
    if (sdaLow) {
        address = 0;
        read = false;
    }
    // Every device hears the address byte; each decides for itself.
    for (I2cDevice* d : devices_) {
        if (d->addressByte(address, read))
            addressed_.push_back({d, std::nullopt});
    }
    return sdaLow || !addressed_.empty();
}

I2cDevice::Answer I2cBus::write(std::uint8_t byte) {
    bool ack = forcedLow().sda;
    if (ack)
        byte = 0;
    bool stretch = false;
    for (auto& a : addressed_) {
        a.stretched = false;
        switch (a.device->receiveByte(byte)) {
        case I2cDevice::Answer::Ack:
            ack = true;
            break;
        case I2cDevice::Answer::Stretch:
            stretch = a.stretched = true;
            break;
        case I2cDevice::Answer::Nack:
            break;
        }
    }
    writeAcked_ = ack;
    if (stretch)
        return I2cDevice::Answer::Stretch;
    return ack ? I2cDevice::Answer::Ack : I2cDevice::Answer::Nack;
}

bool I2cBus::stretchedWriteAcknowledged() {
    bool ack = writeAcked_ || forcedLow().sda;
    for (auto& a : addressed_) {
        if (a.stretched) {
            a.stretched = false;
            ack |= a.device->stretchedAnswer();
        }
    }
    return ack;
}

std::optional<std::uint8_t> I2cBus::read() {
    bool waiting = false;
    for (auto& a : addressed_) {
        if (!a.byte)
            a.byte = a.device->transmitByte();
        waiting |= !a.byte.has_value();
    }
    if (waiting)
        return std::nullopt;
    std::uint8_t wired = forcedLow().sda ? 0x00 : 0xFF;
    for (auto& a : addressed_) {
        wired &= *a.byte;
        a.byte.reset();
    }
    return wired;
}

void I2cBus::acknowledge(bool ack) {
    ack = ack || forcedLow().sda;
    for (auto& a : addressed_)
        a.device->masterAcknowledge(ack);
}

Time I2cBus::sdaHold() const {
    Time t = 0;
    for (const auto& a : addressed_)
        t = std::max(t, a.device->sdaHoldTime());
    return t;
}

Time I2cBus::sdaSetup() const {
    Time t = 0;
    for (const auto& a : addressed_)
        t = std::max(t, a.device->sdaSetupTime());
    return t;
}

Time I2cBus::spikeFilter() const {
    Time t = 0;
    for (const auto& a : addressed_)
        t = std::max(t, a.device->spikeFilter());
    return t;
}

void I2cBus::record(const I2cTransferRecord& transfer) {
    if (observer_)
        observer_(transfer);
}

} // namespace sim
