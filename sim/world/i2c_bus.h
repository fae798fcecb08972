// One I2C bus: two open-drain lines with pull-ups, the devices on them, and
// whoever listens for finished transfers. Lines are wired-AND: a byte read while two
// devices answer is the AND of both, and SCL is low while any device holds it.
#pragma once

#include "chip/devices.h"
#include "i2c_transfer.h"
#include "engine/event_queue.h"
#include "engine/simulation.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

class I2cBus : public I2cLines {
public:
    explicit I2cBus(Simulation& sim);
    ~I2cBus() override;
    I2cBus(const I2cBus&) = delete;
    I2cBus& operator=(const I2cBus&) = delete;

    Simulation& simulation() { return sim_; }

    void attach(I2cDevice& device) override;
    void detach(I2cDevice& device) override;

    // --- SCL held low by devices (clock stretching) ---------------------------
    void holdScl(I2cDevice& device) override;
    void releaseScl(I2cDevice& device) override;
    bool sclHeld() const { return !holders_.empty() || forcedLow().scl; }

    // --- lines pulled low by something that is not an I2C device ------------------
    // A board pin in another function, driven low, pulls the backplane's line
    // with it. Such drivers do not say when they let go: the master looks
    // again every clock period while it waits.
    struct Lines {
        bool sda = false;
        bool scl = false;
    };
    using LineProbe = std::function<Lines()>;
    int addLineProbe(LineProbe probe);
    void removeLineProbe(int id);
    // Which lines such drivers hold low now.
    Lines forcedLow() const;
    // The master's wait: called (as an event of the world, at the instant of
    // release) when the last device lets SCL go.
    void setSclReleasedListener(std::function<void()> listener) {
        sclReleased_ = std::move(listener);
    }

    // --- what the master puts on the lines --------------------------------------
    void start(bool repeated);
    void stop();
    // True when at least one device acknowledged.
    bool address(std::uint8_t address, bool read);
    I2cDevice::Answer write(std::uint8_t byte);
    // The acknowledge bit of a written byte that was stretched, once SCL is
    // free: ACK when a device that answered at once, or one that held the
    // byte, pulls SDA low.
    bool stretchedWriteAcknowledged();
    // No value while an addressed device still holds SCL; ask again once it
    // lets go. Nobody driving SDA reads as 0xFF (the pull-up). While SDA is
    // pulled low every bit reads 0, on both sides: devices hear the general
    // call address and zero bytes, and every acknowledge bit reads as ACK.
    std::optional<std::uint8_t> read();
    void acknowledge(bool ack);

    // The line timing of the addressed devices (the longest of each).
    Time sdaHold() const;
    Time sdaSetup() const;
    Time spikeFilter() const;

    // --- the record --------------------------------------------------------------
    // A finished transfer, for whoever listens (tracing, recorders).
    void record(const I2cTransferRecord& transfer);
    void setTransferObserver(std::function<void(const I2cTransferRecord&)> observer) {
        observer_ = std::move(observer);
    }

private:
    struct Answering {
        I2cDevice* device;
        std::optional<std::uint8_t> byte; // this byte's answer, once given
        bool stretched = false;           // holds the written byte's answer
    };

    Simulation& sim_;
    std::vector<I2cDevice*> devices_;
    std::vector<Answering> addressed_;
    std::vector<I2cDevice*> holders_;
    bool writeAcked_ = false; // by the devices that answered a stretched byte at once
    std::vector<std::pair<int, LineProbe>> probes_;
    int nextProbe_ = 1;
    std::function<void()> sclReleased_;
    CallbackEvent releaseEvent_;
    std::function<void(const I2cTransferRecord&)> observer_;
};

} // namespace sim
