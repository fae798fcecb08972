// valdor's two-channel 12-bit DAC on SPI0, wired as the board's description
// says (world/board_description.h). It takes one 16-bit command word per selection, clocked
// in mode 0 with the most significant bit first, and latches it when the
// select line goes high again:
//   bit 15 channel (0 = A, 1 = B), 14 buffered reference, 13 gain (1 = 1x),
//   12 active (0 = output shut down), 11..0 the value.
// Anything else on the wires (two frames, a frame of another length or mode,
// a frame without select) latches nothing and is logged as a framing error;
// a selection without clocks does nothing.
#pragma once

#include "chip/spi.h"
#include "engine/time.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class Chip;
class Recorder;

class Dac : public SpiDevice {
public:
    struct Wiring {
        unsigned cs;
        unsigned sck;
        unsigned sdi;
    };

    struct Command {
        Time at = 0; // when the select line latched it
        std::uint16_t word = 0;
        unsigned channel = 0;
        bool buffered = false;
        bool gain1x = false;
        bool active = false;
        std::uint16_t value = 0;
    };

    struct FramingError {
        Time at = 0;
        std::string what;
    };

    Dac(Chip& chip, Wiring wiring);
    ~Dac() override;
    Dac(const Dac&) = delete;
    Dac& operator=(const Dac&) = delete;

    // Latched commands and framing errors, in order.
    const std::vector<Command>& commands() const { return commands_; }
    const std::vector<FramingError>& errors() const { return errors_; }
    // The value last latched for a channel (0 = A), none if never written.
    std::optional<std::uint16_t> value(unsigned channel) const { return values_.at(channel); }
    bool active(unsigned channel) const { return active_.at(channel); }
    // "A=4095 B=-"
    std::string describe() const;

    void setRecorder(Recorder* recorder) { recorder_ = recorder; }

    std::optional<std::uint16_t> clock(const SpiFrame& frame) override;

private:
    void selectChanged(bool level);
    void error(const std::string& what);

    Chip& chip_;
    Wiring wiring_;
    int listener_ = 0;
    bool selected_ = false;
    std::vector<SpiFrame> frames_; // clocked during the current selection
    std::vector<Command> commands_;
    std::vector<FramingError> errors_;
    std::array<std::optional<std::uint16_t>, 2> values_{};
    std::array<bool, 2> active_{};
    Recorder* recorder_ = nullptr;
};

} // namespace sim
