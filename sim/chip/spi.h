// SPI0, an ARM PL022 synchronous serial port, as a master. The block runs
// from clk_peri (125 MHz) through an even prescaler and a post-divider, so
// the rate is what the SDK's divider search finds, not the rate asked for:
// 100 kHz asked gives 122070 Hz. A frame is `bits` clock periods long and
// the calling core busy-waits for it, as the SDK's blocking calls do.
//
// The PL022 shifts the most significant bit first; it has no LSB-first mode.
// Devices hang on the chip's pins: a device hears the clock only on a pin
// whose function select is SPI, and its select lines are ordinary GPIOs it
// reads from the pins.
#pragma once

#include "chip/gpio.h"
#include "kernel/time.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class Chip;

struct SpiFrame {
    Time start = 0;
    Time end = 0;
    unsigned bits = 8;
    bool cpol = false;
    bool cpha = false;
    bool msbFirst = true;
    std::uint16_t mosi = 0; // the word on the device's data-in wire
};

// The device's wires, as GPIO numbers of the chip; -1 where not connected.
struct SpiWiring {
    int sck = -1;
    int sdi = -1; // device data in (the master's TX)
    int sdo = -1; // device data out (the master's RX)
};

class SpiDevice {
public:
    virtual ~SpiDevice() = default;
    // One frame clocked on the device's clock wire. Returns the word the
    // device shifts out on its data-out wire, or nothing when it leaves that
    // wire alone.
    virtual std::optional<std::uint16_t> clock(const SpiFrame& frame) = 0;
};

class Spi : public PinDriver {
public:
    static constexpr std::uint32_t kPeripheralClockHz = 125000000;
    static constexpr Time kPeripheralClockPeriod = 8; // ns

    explicit Spi(Chip& chip);

    void reset();

    // --- the block's registers, as the SDK programs them ---------------------
    // Picks the smallest even prescaler and the largest post-divider whose
    // rate does not exceed `baudrate`; returns the rate it gives.
    unsigned setBaudrate(unsigned baudrate);
    unsigned baudrate() const;
    void setFormat(unsigned dataBits, bool cpol, bool cpha, bool msbFirst);
    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }
    unsigned dataBits() const { return dataBits_; }
    bool cpol() const { return cpol_; }
    bool cpha() const { return cpha_; }
    Time clockPeriod() const { return Time{prescale_} * postdiv_ * kPeripheralClockPeriod; }
    Time frameTime() const { return clockPeriod() * dataBits_; }

    // Shifts `len` frames out and in, back to back from now, and busy-waits
    // the calling core until the last one is through. `tx` null sends
    // `repeatedTx` every frame; `rx` may be null.
    void transfer(const std::uint16_t* tx, std::uint16_t repeatedTx, std::uint16_t* rx,
                  std::size_t len);
    unsigned framesSent() const { return frames_; }

    // --- devices on the pins ----------------------------------------------------
    void attach(SpiDevice& device, SpiWiring wiring);
    void detach(SpiDevice& device);

    // The pads of the SPI0 pins: SCK idles at the clock polarity, TX low, the
    // hardware chip select high; RX is an input.
    Drive drive(unsigned pin) const override;

private:
    enum class Role { None, Rx, Csn, Sck, Tx };
    static Role role(unsigned pin);
    std::uint16_t shift(std::uint16_t tx, Time start, Time end);

    struct Attached {
        SpiDevice* device;
        SpiWiring wiring;
    };

    Chip& chip_;
    bool enabled_ = false;
    unsigned dataBits_ = 8;
    bool cpol_ = false;
    bool cpha_ = false;
    bool msbFirst_ = true;
    unsigned prescale_ = 0;
    unsigned postdiv_ = 1;
    unsigned frames_ = 0;
    std::vector<Attached> devices_;
};

} // namespace sim
