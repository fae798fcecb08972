#include "world/vcd_writer.h"

#include "chip/chip.h"
#include "world/backplane.h"
#include "world/spi_waveform.h"

#include <algorithm>

namespace sim {

namespace {

char levelOf(const PinState& s) {
    if (s.toggling || s.contention)
        return 'x';
    if (s.floating)
        return 'z';
    return s.level ? '1' : '0';
}

// The share of each PWM period the pin is high, as an eye sees an LED.
double brightness(Chip& chip, unsigned pin) {
    const PinState s = chip.gpio.state(pin);
    if (!s.toggling)
        return s.level ? 1.0 : 0.0;
    const PwmSlice& slice = chip.pwm.slice(Pwm::sliceOf(pin));
    const bool b = Pwm::channelOf(pin) != 0;
    const double level = b ? slice.levelB : slice.levelA;
    // The same in phase-correct mode, which counts both ways.
    const double duty = level / (slice.top + 1.0);
    return (b ? slice.invertB : slice.invertA) ? 1.0 - duty : duty;
}

double volts(const AnalogSource& source, unsigned input) {
    const auto raw = source.peek(input);
    return raw ? *raw * AnalogSource::kReference / 4096.0 : 0.0;
}

} // namespace

VcdWriter::VcdWriter(Backplane& backplane, const std::string& path)
    : backplane_(backplane),
      file_(path,
            std::max(milliseconds(1), 2 * I2cWaveform::lateness(backplane.host().sclPeriod()))) {
    scl_ = file_.wire("bus.scl", '1');
    sda_ = file_.wire("bus.sda", '1');
    for (unsigned slot = 0; slot < Backplane::kSlots; ++slot) {
        Board* board = backplane.board(slot);
        if (!board)
            continue;
        Probe p{board, &boardSignals(board->kind()), {}, {}, {}};
        p.pins.fill(kNone);
        Chip& chip = board->chip();
        const std::string prefix = board->name() + ".";
        for (unsigned pin = 0; pin < kGpioCount; ++pin) {
            if (p.signals->digital(pin))
                p.pins[pin] =
                    file_.wire(prefix + p.signals->pinName(pin), levelOf(chip.gpio.state(pin)));
        }
        for (const auto& led : p.signals->faded)
            p.faded.emplace_back(led.number,
                                 file_.real(prefix + led.name, brightness(chip, led.number)));
        for (const auto& in : p.signals->analog)
            p.analog.emplace_back(in.number,
                                  file_.real(prefix + in.name, volts(board->analog(), in.number)));
        probes_.push_back(std::move(p));
    }
    file_.begin(now());

    for (std::size_t i = 0; i < probes_.size(); ++i) {
        probes_[i].board->chip().addObserver(*this);
        probes_[i].board->analog().setListener([this, i](unsigned input) {
            showAnalog(probes_[i], input);
            file_.advance(now());
        });
    }
    bus_ = std::make_unique<I2cWaveform>(
        backplane.host().timing(), [this](Time at, I2cLine line, bool level) {
            file_.change(at, line == I2cLine::Scl ? scl_ : sda_, level ? '1' : '0');
        });
    backplane.host().setPhaseListener([this](const I2cPhase& phase) {
        bus_->step(phase);
        file_.advance(now());
    });
}

VcdWriter::~VcdWriter() {
    close();
}

void VcdWriter::close() {
    if (closed_)
        return;
    closed_ = true;
    backplane_.host().setPhaseListener({});
    for (Probe& p : probes_) {
        p.board->chip().removeObserver(*this);
        p.board->analog().setListener({});
    }
    file_.finish(now());
}

Time VcdWriter::now() const {
    return backplane_.simulation().now();
}

VcdWriter::Probe* VcdWriter::probeOf(Chip& chip) {
    for (Probe& p : probes_) {
        if (&p.board->chip() == &chip)
            return &p;
    }
    return nullptr;
}

void VcdWriter::showPin(Probe& p, unsigned pin) {
    if (pin < kGpioCount && p.pins[pin] != kNone)
        file_.change(now(), p.pins[pin], levelOf(p.board->chip().gpio.state(pin)));
}

void VcdWriter::showBrightness(Probe& p) {
    for (const auto& [pin, var] : p.faded)
        file_.change(now(), var, brightness(p.board->chip(), pin));
}

void VcdWriter::showAnalog(Probe& p, unsigned input) {
    for (const auto& [in, var] : p.analog) {
        if (in == input)
            file_.change(now(), var, volts(p.board->analog(), input));
    }
}

void VcdWriter::pinChanged(Chip& chip, unsigned pin, const PinState&) {
    if (Probe* p = probeOf(chip)) {
        showPin(*p, pin);
        showBrightness(*p);
        file_.advance(now());
    }
}

void VcdWriter::pinFunctionChanged(Chip& chip, unsigned pin, const PinState& state) {
    pinChanged(chip, pin, state);
}

void VcdWriter::pwmChanged(Chip& chip, unsigned slice) {
    Probe* p = probeOf(chip);
    if (!p)
        return;
    for (unsigned pin = 0; pin < kGpioCount; ++pin) {
        if (chip.gpio.function(pin) == gpiofn::kPwm && Pwm::sliceOf(pin) == slice)
            showPin(*p, pin);
    }
    showBrightness(*p);
    file_.advance(now());
}

void VcdWriter::spiFrame(Chip& chip, const SpiFrame& frame, std::uint16_t rx) {
    Probe* p = probeOf(chip);
    if (!p)
        return;
    // Only pins handed to SPI carry the frame.
    auto wired = [&](int pin) {
        return pin >= 0 && p->pins[static_cast<unsigned>(pin)] != kNone &&
               chip.gpio.function(static_cast<unsigned>(pin)) == gpiofn::kSpi;
    };
    const int pins[] = {p->signals->sck, p->signals->mosi, p->signals->miso};
    for (const SpiEdge& e : spiEdges(frame, rx)) {
        const int pin = pins[static_cast<int>(e.wire)];
        if (wired(pin))
            file_.change(e.at, p->pins[static_cast<unsigned>(pin)], e.level ? '1' : '0');
    }
    // Afterwards each wire is as its pad holds it.
    for (int pin : pins) {
        if (wired(pin))
            file_.change(frame.end, p->pins[static_cast<unsigned>(pin)],
                         levelOf(chip.gpio.state(static_cast<unsigned>(pin))));
    }
    file_.advance(now());
}

void VcdWriter::chipReset(Chip& chip, const std::string&) {
    if (Probe* p = probeOf(chip)) {
        for (unsigned pin = 0; pin < kGpioCount; ++pin)
            showPin(*p, pin);
        showBrightness(*p);
        file_.advance(now());
    }
}

} // namespace sim
