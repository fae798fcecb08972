// A host's polling loop on one board, as boardctl watch runs it: which
// values changed since the last round, and whether the board went away,
// came back or started again. The caller paces the rounds.
#pragma once

#include "boardhost/board.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace boardhost {

// Well inside the board's 500 ms host-silence timer.
constexpr std::chrono::milliseconds kWatchHeartbeat{200};

struct WatchEvent {
    enum class Kind { Inputs, AnalogInput, Thermocouple, Gone, Back, Reset };
    Kind kind;
    unsigned channel = 0;    // analog input 0.., thermocouple 1..
    std::uint16_t value = 0; // the input mask, the analog reading, the thermocouple word
    std::string error;       // Gone: why the board stopped answering
};

// "in 0x4", "ain 0 1234", "thermo 3 100.00", "gone", "back", "reset"
std::string describe(const WatchEvent& e, const Descriptor& d);

class Watch {
public:
    explicit Watch(const Descriptor& d) : analog_(d.analogInputs), thermo_(d.thermocouples) {}

    // One round: the heartbeat when `beat` or while the board is gone, then
    // the inputs (acknowledged), analog inputs and thermocouples. Appends the
    // changes to `events`; the first round reports every value. A board that
    // stops acknowledging is gone, not a failure: fails only when the bus does.
    Status poll(Board& board, bool beat, std::vector<WatchEvent>& events);

    bool gone() const { return gone_; }

private:
    bool lost(const Error& e, std::vector<WatchEvent>& events);
    void back(std::vector<WatchEvent>& events);

    bool contacted_ = false;
    bool gone_ = false;
    std::optional<std::uint16_t> in_;
    std::vector<std::optional<std::uint16_t>> analog_;
    std::vector<std::optional<std::uint16_t>> thermo_;
};

} // namespace boardhost
