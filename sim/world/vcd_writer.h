// A logic analyser with a probe on everything of a backplane, writing a VCD
// file as the run goes:
//   bus.scl, bus.sda          the backplane's I2C lines, bit by bit
//   <board>.<role>            every digital GPIO of a board by its role on the
//                             board (dout0, din2, cs_enable, led, spi_sck, ...)
//                             or as gpioN; 'x' while a PWM toggles it or the
//                             chip and the world drive it apart, 'z' floating.
//                             SPI wires carry each frame's clock and bits.
//   <board>.<led> (real)      a faded status LED's brightness: the PWM duty
//                             (0..1), or 0 and 1 when its pin is settled
//   <board>.slot, .ainN (real) the slot coding and analog input voltages
// Boards are the ones in the backplane when the writer is made. The file is
// complete once the writer is closed or destroyed.
#pragma once

#include "chip/observer.h"
#include "world/board_signals.h"
#include "world/i2c_waveform.h"
#include "world/vcd_file.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class Backplane;

class VcdWriter : public ChipObserver {
public:
    // Throws std::runtime_error when `path` cannot be written.
    VcdWriter(Backplane& backplane, const std::string& path);
    ~VcdWriter() override;
    VcdWriter(const VcdWriter&) = delete;
    VcdWriter& operator=(const VcdWriter&) = delete;

    // Writes the rest and the current time as the end; the probes come off.
    void close();
    std::size_t lateChanges() const { return file_.lateChanges(); }

    // ChipObserver
    void pinChanged(Chip& chip, unsigned pin, const PinState& state) override;
    void pinFunctionChanged(Chip& chip, unsigned pin, const PinState& state) override;
    void pwmChanged(Chip& chip, unsigned slice) override;
    void spiFrame(Chip& chip, const SpiFrame& frame, std::uint16_t rx) override;
    void chipReset(Chip& chip, const std::string& cause) override;

private:
    static constexpr std::size_t kNone = ~std::size_t{0};

    struct Probe {
        Board* board;
        const BoardSignals* signals;
        std::array<VcdFile::Var, kGpioCount> pins;
        std::vector<std::pair<unsigned, VcdFile::Var>> faded;  // pin, brightness
        std::vector<std::pair<unsigned, VcdFile::Var>> analog; // ADC input, volts
    };

    Probe* probeOf(Chip& chip);
    void showPin(Probe& p, unsigned pin);
    void showBrightness(Probe& p);
    void showAnalog(Probe& p, unsigned input);
    Time now() const;

    Backplane& backplane_;
    VcdFile file_;
    std::vector<Probe> probes_;
    VcdFile::Var scl_ = 0;
    VcdFile::Var sda_ = 0;
    std::unique_ptr<I2cWaveform> bus_;
    bool closed_ = false;
};

} // namespace sim
