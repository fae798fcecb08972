// The host controller's I2C master. It drives the bus from outside the chips:
// each phase of a transfer is an event in virtual time, and the master waits
// (in virtual time) while a device stretches the clock.
//
// Timing, with T the SCL period (10 us at 100 kHz):
//   START            SDA falls, SCL falls T/2 later
//   byte             9 T: eight data bits and the acknowledge bit; the
//                    receiver has the eighth bit 8 T after the byte began
//   repeated START   3 T/2: SCL rises T/2 after the last acknowledge bit,
//                    SDA falls T/2 later, SCL falls after another T/2
//   STOP             T: SCL rises after T/2, SDA rises T/2 later
//   bus free         T/2 after a STOP before the next START
//   recovery         after a message's hang: nine clocks (9 T), the
//                    receiver has the eighth bit 8 T in, then STOP
// A device that stretches adds the time it holds SCL: before a byte it sends
// (it has nothing to send yet) or in the acknowledge bit of a byte it receives.
#pragma once

#include "i2c_bus.h"
#include "i2c_phase.h"
#include "i2c_transfer.h"
#include "kernel/event_queue.h"
#include "kernel/simulation.h"
#include "kernel/time.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

class HostMaster {
public:
    using Done = std::function<void(const I2cTransferRecord&)>;

    HostMaster(Simulation& sim, I2cBus& bus, std::uint32_t sclHz = 100000);
    HostMaster(const HostMaster&) = delete;
    HostMaster& operator=(const HostMaster&) = delete;

    Time sclPeriod() const { return period_; }

    // Queues a transfer; it starts as soon as the bus is free. `done` runs at
    // the STOP (or when the master gives up on a held clock).
    void begin(std::vector<I2cMessage> messages, Done done = {});
    bool busy() const { return active_ || !pending_.empty(); }

    // Queues a transfer and runs the whole simulation until it is over.
    I2cTransferRecord transfer(std::vector<I2cMessage> messages);

    // How long the master waits for a held line to be let go before it
    // gives the transfer up.
    void setStretchLimit(Time limit) { stretchLimit_ = limit; }

    // Hears every step as the master takes it (waveform drawing).
    void setPhaseListener(std::function<void(const I2cPhase&)> listener) {
        phases_ = std::move(listener);
    }

private:
    struct Job {
        std::vector<I2cMessage> messages;
        Done done;
    };
    enum class Wait { None, BusFree, Read, WriteAck, RecoveryAck };

    void after(Time delay, void (HostMaster::*step)());
    void waitForScl(Wait what);
    void sclReleased();
    void pollLines();
    void gaveUp();

    void startNext();
    void openMessage();
    void startCondition();
    void restartCondition();
    void addressPhase();
    void writePhase();
    void writeAcknowledged(bool ack);
    void readPhase();
    void readDone();
    void nextMessage();
    bool breaksHere() const;
    void breakOff();
    void emptyRestart();
    void recoveryClocks();
    void recoveryDone(bool ack);
    void stopCondition();
    void finish();
    void phase(I2cPhase::Kind kind, std::uint8_t byte = 0, bool ack = false);

    I2cMessage& message() { return job_.messages[index_]; }
    I2cMessageRecord& messageRecord() { return record_.messages.back(); }

    Simulation& sim_;
    I2cBus& bus_;
    Time period_;
    Time half_;
    Time stretchLimit_;

    std::deque<Job> pending_;
    bool active_ = false;
    Job job_;
    I2cTransferRecord record_;
    std::size_t index_ = 0;                 // message
    std::size_t position_ = 0;              // byte within the message
    std::optional<std::uint8_t> unclocked_; // a read byte the device gave, not yet clocked
    Time busFreeAt_ = 0;

    Wait waiting_ = Wait::None;
    void (HostMaster::*nextStep_)() = nullptr;
    CallbackEvent stepEvent_;
    CallbackEvent limitEvent_;
    CallbackEvent pollEvent_;
    std::function<void(const I2cPhase&)> phases_;
};

} // namespace sim
