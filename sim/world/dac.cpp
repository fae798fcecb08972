#include "world/dac.h"

#include "chip/chip.h"
#include "world/recorder.h"

namespace sim {

Dac::Dac(Chip& chip, Wiring wiring) : chip_(chip), wiring_(wiring) {
    chip_.spi.attach(*this,
                     SpiWiring{static_cast<int>(wiring_.sck), static_cast<int>(wiring_.sdi), -1});
    selected_ = !chip_.gpio.level(wiring_.cs);
    listener_ = chip_.gpio.addListener(1u << wiring_.cs,
                                       [this](unsigned, bool level) { selectChanged(level); });
}

Dac::~Dac() {
    chip_.gpio.removeListener(listener_);
    chip_.spi.detach(*this);
}

std::string Dac::describe() const {
    auto text = [](const std::optional<std::uint16_t>& v) {
        return v ? std::to_string(*v) : std::string("-");
    };
    return "A=" + text(values_[0]) + " B=" + text(values_[1]);
}

void Dac::error(const std::string& what) {
    errors_.push_back({chip_.now(), what});
    if (recorder_)
        recorder_->add(chip_.now(), chip_.name(), DacError{what});
}

std::optional<std::uint16_t> Dac::clock(const SpiFrame& frame) {
    if (!selected_)
        error("frame clocked while chip select is high");
    else
        frames_.push_back(frame);
    return std::nullopt; // the DAC has no data output
}

void Dac::selectChanged(bool level) {
    if (!level) {
        // Selected: a new command starts.
        selected_ = true;
        frames_.clear();
        return;
    }
    if (!selected_)
        return;
    selected_ = false;
    // A selection without clocks is nothing to the converter.
    if (frames_.empty())
        return;
    if (frames_.size() != 1) {
        error(std::to_string(frames_.size()) + " frames in one selection");
        return;
    }
    const SpiFrame& f = frames_.front();
    if (f.bits != 16) {
        error(std::to_string(f.bits) + "-bit frame");
        return;
    }
    if (f.cpol || f.cpha) {
        error("frame in SPI mode " + std::to_string((f.cpol ? 2 : 0) + (f.cpha ? 1 : 0)));
        return;
    }
    if (!f.msbFirst) {
        error("frame sent LSB first");
        return;
    }
    if (f.end > chip_.now()) {
        error("chip select released in the middle of a frame");
        return;
    }
    Command cmd;
    cmd.at = chip_.now();
    cmd.word = f.mosi;
    cmd.channel = (f.mosi >> 15) & 1u;
    cmd.buffered = (f.mosi >> 14) & 1u;
    cmd.gain1x = (f.mosi >> 13) & 1u;
    cmd.active = (f.mosi >> 12) & 1u;
    cmd.value = f.mosi & 0x0FFFu;
    commands_.push_back(cmd);
    values_[cmd.channel] = cmd.value;
    active_[cmd.channel] = cmd.active;
    if (recorder_)
        recorder_->add(cmd.at, chip_.name(),
                       DacCommand{cmd.word, cmd.channel, cmd.value, cmd.active});
}

} // namespace sim
