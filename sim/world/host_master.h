// The host controller's I2C master. It drives the bus from outside the chips:
// each phase of a transfer is an event in virtual time, and the master waits
// (in virtual time) while a device stretches the clock, as far as its kind
// of controller does (world/i2c_host_model.h).
//
// Timing (world/i2c_timing.h), with T = tLOW + tHIGH the SCL period:
//   START            SDA falls, SCL falls tHD;STA later
//   bit              SCL low for tLOW (SDA changes halfway), high for tHIGH;
//                    the receiver samples at the rise
//   byte             9 T: eight data bits and the acknowledge bit; the
//                    receiver has the eighth bit 8 T after the byte began
//   repeated START   SCL rises tLOW after the last acknowledge bit, SDA
//                    falls tSU;STA later, SCL falls tHD;STA after that
//   STOP             SCL rises tLOW after the last bit, SDA rises tSU;STO later
//   bus free         tBUF after a STOP before the next START
//   recovery         after a message's hang: nine clocks (9 T), the
//                    receiver has the eighth bit 8 T in, then STOP
// A device asked for a read byte (at its address acknowledge, or as the
// master's acknowledge of the last byte is sampled) has until the end of
// the master's next low phase: only a hold past that shows as a stretch. A
// device that holds the acknowledge bit of a byte it receives stretches
// likewise.
#pragma once

#include "i2c_bus.h"
#include "i2c_host_model.h"
#include "i2c_phase.h"
#include "i2c_timing.h"
#include "i2c_transfer.h"
#include "engine/event_queue.h"
#include "engine/simulation.h"
#include "engine/time.h"

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

    Time sclPeriod() const { return timing_.period(); }
    const I2cTiming& timing() const { return timing_; }
    I2cHostKind kind() const { return kind_; }

    // The bus rate and the kind of controller, for the transfers that
    // follow (set them while the master is idle). `seed` drives a bit-banging
    // master's pauses. Throws std::invalid_argument for a rate past fast mode.
    void setRate(std::uint32_t hz);
    void setKind(I2cHostKind kind, std::uint64_t seed = 1);

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
    void writeHeld(bool ack);
    void writeAcknowledged(bool ack, Time ackFall, const I2cPhase* held = nullptr);
    void readPhase();
    void clockRead(std::uint8_t byte, Time release);
    void readSample();
    void readDone();
    Time pause();
    void nextMessage();
    bool breaksHere() const;
    void breakOff();
    void emptyRestart();
    void recoveryClocks();
    void recoveryDone(bool ack);
    void stopCondition();
    void finish();
    void phase(I2cPhase::Kind kind, std::uint8_t byte = 0, bool ack = false);
    void phase(I2cPhase p);

    Time toStop() const { return timing_.low + timing_.suSto; }
    Time toRestart() const { return timing_.low + timing_.suSta; }

    I2cMessage& message() { return job_.messages[index_]; }
    I2cMessageRecord& messageRecord() { return record_.messages.back(); }

    Simulation& sim_;
    I2cBus& bus_;
    I2cTiming timing_;
    I2cHostKind kind_ = I2cHostKind::Ideal;
    std::optional<BitbangPauses> pauses_;
    Time stretchLimit_;

    std::deque<Job> pending_;
    bool active_ = false;
    Job job_;
    I2cTransferRecord record_;
    std::size_t index_ = 0;                 // message
    std::size_t position_ = 0;              // byte within the message
    std::optional<std::uint8_t> unclocked_; // a read byte the device gave, not yet clocked
    Time busFreeAt_ = 0;
    Time byteIn_ = 0;       // the eighth bit of the byte written last was in
    Time byteFall_ = 0;     // SCL fell before the read byte under way
    bool readHeld_ = false; // a device held SCL at that fall
    bool readAck_ = false;  // the master's acknowledge of the byte under way
    // The device missed clocks of the byte under way (a pulse too short for
    // its filter, or none at all): it is that many bits behind the master.
    unsigned behind_ = 0;
    std::uint8_t leftover_ = 0xFF; // its bits still to come, high first
    unsigned leftoverBits_ = 0;

    Wait waiting_ = Wait::None;
    void (HostMaster::*nextStep_)() = nullptr;
    CallbackEvent stepEvent_;
    CallbackEvent limitEvent_;
    CallbackEvent pollEvent_;
    std::function<void(const I2cPhase&)> phases_;
};

} // namespace sim
