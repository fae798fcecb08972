#include "world/thermocouple_bank.h"

#include "chip/chip.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace sim {

ThermocoupleBank::ThermocoupleBank(Chip& chip, Wiring wiring) : chip_(chip), wiring_(wiring) {
    chip_.spi.attach(*this,
                     SpiWiring{static_cast<int>(wiring_.sck), -1, static_cast<int>(wiring_.sdo)});
}

ThermocoupleBank::~ThermocoupleBank() {
    chip_.spi.detach(*this);
}

std::size_t ThermocoupleBank::index(unsigned channel) const {
    if (channel < 1 || channel > kChannels)
        throw std::out_of_range("thermocouple channel " + std::to_string(channel) + " is not 1..8");
    return channel - 1;
}

std::uint16_t ThermocoupleBank::frameFor(double celsius) {
    const double steps = std::round(celsius * 4.0);
    const auto reading = static_cast<std::uint16_t>(std::clamp(steps, 0.0, 4095.0));
    return static_cast<std::uint16_t>(reading << 3);
}

void ThermocoupleBank::setTemperature(unsigned channel, double celsius) {
    frames_[index(channel)] = frameFor(celsius);
}

void ThermocoupleBank::setOpen(unsigned channel) {
    frames_[index(channel)] = kOpenFlag;
}

void ThermocoupleBank::setFrame(unsigned channel, std::uint16_t frame) {
    frames_[index(channel)] = frame;
}

std::uint16_t ThermocoupleBank::frame(unsigned channel) const {
    return frames_[index(channel)];
}

std::optional<unsigned> ThermocoupleBank::selected() const {
    if (!chip_.gpio.level(wiring_.enable))
        return std::nullopt;
    unsigned address = 0;
    for (unsigned bit = 0; bit < 3; ++bit) {
        if (chip_.gpio.level(wiring_.address[bit]))
            address |= 1u << bit;
    }
    for (unsigned k = 0; k < kChannels; ++k) {
        if (wiring_.channelAddress[k] == address)
            return k + 1;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> ThermocoupleBank::clock(const SpiFrame& frame) {
    std::optional<unsigned> channel = selected();
    if (!channel)
        return std::nullopt;
    ++reads_[*channel - 1];
    // A shorter frame gets the first bits the converter shifts out.
    std::uint16_t word = frames_[*channel - 1];
    if (frame.bits < 16)
        word = static_cast<std::uint16_t>(word >> (16 - frame.bits));
    return word;
}

} // namespace sim
