#include "chip/spi.h"

#include "chip/chip.h"

#include <algorithm>
#include <map>

namespace sim {

Spi::Spi(Chip& chip) : chip_(chip) {}

void Spi::reset() {
    enabled_ = false;
    dataBits_ = 8;
    cpol_ = false;
    cpha_ = false;
    msbFirst_ = true;
    prescale_ = 0;
    postdiv_ = 1;
}

unsigned Spi::setBaudrate(unsigned baudrate) {
    const std::uint64_t freq = kPeripheralClockHz;
    const std::uint64_t rate = std::max(1u, baudrate);
    // The prescaler is even, 2..254; take the smallest one that leaves the
    // post-divider (1..256) room to reach the rate.
    unsigned prescale = 2;
    while (prescale < 254 && freq >= (prescale + 2) * 256 * rate)
        prescale += 2;
    // Then the largest post-divider whose rate still does not fall below it.
    unsigned postdiv = 256;
    while (postdiv > 1 && freq / (std::uint64_t{prescale} * (postdiv - 1)) <= rate)
        --postdiv;
    prescale_ = prescale;
    postdiv_ = postdiv;
    return baudrate ? this->baudrate() : 0;
}

unsigned Spi::baudrate() const {
    if (prescale_ == 0)
        return 0;
    return static_cast<unsigned>(kPeripheralClockHz / (prescale_ * postdiv_));
}

void Spi::setFormat(unsigned dataBits, bool cpol, bool cpha, bool msbFirst) {
    dataBits_ = std::min(16u, std::max(4u, dataBits));
    cpol_ = cpol;
    cpha_ = cpha;
    if (!msbFirst)
        chip_.trace("spi0: LSB-first asked for; the PL022 shifts MSB first regardless");
    msbFirst_ = true;
    chip_.gpio.peripheralOutputsChanged(); // SCK idles at the new polarity
}

void Spi::setEnabled(bool enabled) {
    enabled_ = enabled;
}

Spi::Role Spi::role(unsigned pin) {
    // SPI0 sits on GPIO0..7 and GPIO16..23, four pins per group in the order
    // RX, CSn, SCK, TX; the other pins with the SPI function belong to SPI1.
    if (pin > 23 || (pin >= 8 && pin < 16))
        return Role::None;
    switch (pin % 4) {
    case 0:
        return Role::Rx;
    case 1:
        return Role::Csn;
    case 2:
        return Role::Sck;
    default:
        return Role::Tx;
    }
}

Drive Spi::drive(unsigned pin) const {
    switch (role(pin)) {
    case Role::Sck:
        return cpol_ ? Drive::High : Drive::Low;
    case Role::Tx:
        return Drive::Low;
    case Role::Csn:
        return Drive::High;
    default:
        return Drive::None;
    }
}

void Spi::attach(SpiDevice& device, SpiWiring wiring) {
    detach(device);
    devices_.push_back({&device, wiring});
}

void Spi::detach(SpiDevice& device) {
    devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                  [&](const Attached& a) { return a.device == &device; }),
                   devices_.end());
}

void Spi::transfer(const std::uint16_t* tx, std::uint16_t repeatedTx, std::uint16_t* rx,
                   std::size_t len) {
    if (!enabled_ || prescale_ == 0)
        chip_.failWith("spi0 used while the block is disabled: the transfer would never finish");
    // The transmit FIFO takes the words at once and the block shifts them back
    // to back; the frames keep the block's pace even if the core is interrupted.
    const Time t0 = chip_.now();
    const Time frame = frameTime();
    for (std::size_t k = 0; k < len; ++k) {
        const Time start = t0 + frame * k;
        if (chip_.now() < start)
            chip_.busyWaitUntil(start);
        std::uint16_t word = shift(tx ? tx[k] : repeatedTx, start, start + frame);
        chip_.busyWaitUntil(start + frame);
        if (rx)
            rx[k] = word;
    }
}

std::uint16_t Spi::shift(std::uint16_t tx, Time start, Time end) {
    Gpio& gpio = chip_.gpio;
    const std::uint16_t mask =
        static_cast<std::uint16_t>(dataBits_ >= 16 ? 0xFFFFu : (1u << dataBits_) - 1u);
    tx = static_cast<std::uint16_t>(tx & mask);
    auto routed = [&](int pin, Role r) {
        return pin >= 0 && pin < static_cast<int>(kGpioCount) &&
               gpio.function(static_cast<unsigned>(pin)) == gpiofn::kSpi &&
               role(static_cast<unsigned>(pin)) == r;
    };

    SpiFrame f{start, end, dataBits_, cpol_, cpha_, msbFirst_, tx};
    std::map<int, std::uint16_t> driven; // device data-out wires and their words
    for (const Attached& a : devices_) {
        if (!routed(a.wiring.sck, Role::Sck))
            continue; // no clock reaches this device
        SpiFrame seen = f;
        if (routed(a.wiring.sdi, Role::Tx))
            seen.mosi = tx;
        else if (a.wiring.sdi >= 0)
            seen.mosi = gpio.level(static_cast<unsigned>(a.wiring.sdi)) ? mask : 0;
        else
            seen.mosi = 0;
        std::optional<std::uint16_t> out = a.device->clock(seen);
        if (out && a.wiring.sdo >= 0) {
            auto it = driven.find(a.wiring.sdo);
            if (it == driven.end()) {
                driven[a.wiring.sdo] = *out;
            } else {
                // Two devices talking at once: a low wins on the wire.
                it->second = static_cast<std::uint16_t>(it->second & *out);
                chip_.trace("spi0: two devices drive GPIO" + std::to_string(a.wiring.sdo) +
                            " in one frame");
            }
        }
    }

    // The block's RX input: the first SPI0 RX pin handed to the SPI function;
    // with none, the input reads 0. A wire no device drives reads as the pad
    // holds it: a pulled line gives all ones or all zeros.
    std::uint16_t rx = 0;
    for (unsigned pin : {0u, 4u, 16u, 20u}) {
        if (gpio.function(pin) != gpiofn::kSpi)
            continue;
        auto it = driven.find(static_cast<int>(pin));
        if (it != driven.end())
            rx = static_cast<std::uint16_t>(it->second & mask);
        else
            rx = gpio.level(pin) ? mask : 0;
        break;
    }
    ++frames_;
    chip_.forEachObserver([&](ChipObserver& o) { o.spiFrame(chip_, f, rx); });
    return rx;
}

} // namespace sim
