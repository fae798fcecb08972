// One board under the soak run as the checker knows it: its register model,
// the history of what the world put on its inputs and converters, and the
// outputs and converter values the host's writes promise, with when.
#pragma once

#include "register_model.h"

#include "engine/time.h"
#include "world/board.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace soak {

using sim::Time;

// How late the board may be, by what it publishes or drives.
// Pins and converter after the STOP: BoardTask applies a write at once
// unless a task of its priority holds core 0, as quillet's thermocouple scan
// does for 1.28 ms (eight 16-bit frames polled at 100 kHz); the kernel then
// switches at the next tick, up to 1 ms later.
constexpr Time kOutputPromise = sim::milliseconds(2);
constexpr Time kAnalogWindow = sim::milliseconds(30);  // a new reading every 20 ms
constexpr Time kThermoWindow = sim::milliseconds(600); // every 200 ms plus the scan
constexpr Time kInputWindow = sim::milliseconds(30);   // the debounce window after bouncing ends
constexpr Time kLinkDown = sim::milliseconds(3);       // after a reset, until the link is up
// TWI-Task applies a write after its STOP; a read that begins sooner than this
// may still see the registers from before it (at 400 kHz the next address
// can come 25 us after a STOP).
constexpr Time kApplyWindow = sim::microseconds(500);

class BoardWorld {
public:
    BoardWorld(sim::Board& board, std::uint8_t address);

    sim::Board& board() { return board_; }
    bool valdor() const { return valdor_; }
    std::uint8_t address() const { return address_; }
    RegisterModel& model() { return model_; }
    const RegisterModel& model() const { return model_; }
    bool up(Time now) const { return now >= downUntil_; }
    unsigned injectedResets() const { return injectedResets_; }

    // --- the world changes -----------------------------------------------------------
    // Analog input (valdor) or thermocouple channel (quillet) `source` takes a
    // new value, in the units of its register.
    void setSource(Time now, unsigned source, std::uint16_t value);
    unsigned sources() const { return valdor_ ? 2 : 8; }
    unsigned inputs() const { return static_cast<unsigned>(inputPins_.size()); }
    // Input k bounces from now on and settles `closed` after `settle`.
    void bounce(Time now, unsigned input, const std::vector<sim::Contact::Step>& steps);
    void reset(Time now);

    // --- the host's writes -------------------------------------------------------------
    // The model's pending write is applied at `end`: remember what it promises.
    void applied(Time end);
    // A transfer begins at `now`: a write older than kApplyWindow is in the table.
    void settle(Time now) {
        if (now >= settledAt_)
            model_.settle();
    }

    // --- checks (empty string: fine) ----------------------------------------------
    // A published 16-bit value read in one run, or one byte of it.
    std::string checkWord(Time now, std::uint8_t lowAddr, std::uint16_t value) const;
    std::string checkByte(Time now, std::uint8_t addr, std::uint8_t byte) const;
    // Pins and converter against the promised states.
    std::string checkOutputs(Time now);

private:
    struct Snapshot {
        Time at;
        std::uint16_t outputs;
        std::optional<std::uint16_t> dac[2];
    };
    std::vector<std::uint16_t> acceptable(Time now, std::uint8_t lowAddr) const;
    std::uint16_t modelOutputs() const;

    sim::Board& board_;
    bool valdor_;
    // The board's output and input pins by channel, from its description.
    std::vector<unsigned> outputPins_;
    std::vector<unsigned> inputPins_;
    std::uint8_t address_;
    RegisterModel model_;
    Time bootAt_ = 0;
    Time downUntil_ = 0;
    Time settledAt_ = 0;
    unsigned injectedResets_ = 0;
    std::vector<std::vector<std::pair<Time, std::uint16_t>>> sources_;
    std::vector<bool> closed_;
    std::vector<Time> settled_;
    std::deque<Snapshot> promised_;
    std::optional<std::uint16_t> dac_[2];
};

} // namespace soak
