#include "chip/gpio.h"

#include "chip/block_host.h"
#include "chip/observer.h"

#include <algorithm>

namespace sim {

namespace {
constexpr unsigned kIoIrqBank0 = 13;

bool isHigh(Drive d) {
    return d == Drive::High;
}
const char* driveName(Drive d) {
    return d == Drive::None ? "none" : isHigh(d) ? "high" : "low";
}
} // namespace

const char* functionName(unsigned function) {
    switch (function) {
    case 0:
        return "xip";
    case gpiofn::kSpi:
        return "spi";
    case gpiofn::kUart:
        return "uart";
    case gpiofn::kI2c:
        return "i2c";
    case gpiofn::kPwm:
        return "pwm";
    case gpiofn::kSio:
        return "sio";
    case 6:
        return "pio0";
    case 7:
        return "pio1";
    case 8:
        return "gpck";
    case 9:
        return "usb";
    case gpiofn::kNull:
        return "null";
    default:
        return "?";
    }
}

Gpio::Gpio(BlockHost& host) : host_(host) {}

void Gpio::reset() {
    pins_.fill(Pin{});
    out_ = 0;
    oe_ = 0;
    edges_.fill(0);
    for (auto& e : enables_)
        e.fill(0);
    for (auto& f : forces_)
        f.fill(0);
    voltageSelect_ = 0;
    hiOut_ = hiOe_ = 0;
    padSwclk_ = static_cast<std::uint8_t>(padsRegisters().reset(kPadSwclk));
    padSwd_ = static_cast<std::uint8_t>(padsRegisters().reset(kPadSwd));
    // The world keeps driving its wires through a reset; only the chip's side
    // starts over. Pulled down at reset, every undriven pin reads low.
    update();
    edges_.fill(0);
}

void Gpio::writeControl(unsigned pin, std::uint32_t ctrl) {
    Pin& p = pins_.at(pin);
    const unsigned before = function(pin);
    p.ctrl = ctrl & kCtrlMask;
    if (function(pin) != before) {
        PinState s = resolve(pin);
        host_.notifyObservers([&](ChipObserver& o, Chip& c) { o.pinFunctionChanged(c, pin, s); });
    }
    update();
}

void Gpio::writePad(unsigned pin, std::uint32_t pad) {
    pins_.at(pin).pad = static_cast<std::uint8_t>(pad);
    update();
}

bool Gpio::applyOverride(bool value, std::uint32_t ctrl, unsigned shift) {
    // 0 passes the signal, 1 inverts it, 2 forces it low (or off), 3 high.
    switch ((ctrl >> shift) & 3u) {
    case 0:
        return value;
    case 1:
        return !value;
    case 2:
        return false;
    default:
        return true;
    }
}

Gpio::PeripheralOutput Gpio::peripheralOutput(unsigned pin) const {
    const unsigned fn = function(pin);
    if (fn == gpiofn::kSio)
        return {((out_ >> pin) & 1u) != 0, ((oe_ >> pin) & 1u) != 0};
    if (fn < drivers_.size() && drivers_[fn]) {
        const Drive d = drivers_[fn]->drive(pin);
        return {isHigh(d), d != Drive::None};
    }
    return {};
}

std::uint32_t Gpio::status(unsigned pin) const {
    const std::uint32_t ctrl = pins_.at(pin).ctrl;
    const PeripheralOutput p = peripheralOutput(pin);
    const bool in = (inputs_ >> pin) & 1u;
    std::uint32_t s = 0;
    if (p.out)
        s |= kStatusOutFromPeri;
    if (applyOverride(p.out, ctrl, kOutOverShift))
        s |= kStatusOutToPad;
    if (p.oe)
        s |= kStatusOeFromPeri;
    if (applyOverride(p.oe, ctrl, kOeOverShift))
        s |= kStatusOeToPad;
    if (in)
        s |= kStatusInFromPad | kStatusIrqFromPad;
    if (applyOverride(in, ctrl, kInOverShift))
        s |= kStatusInToPeri;
    if ((irqInputs_ >> pin) & 1u)
        s |= kStatusIrqToProc;
    return s;
}

void Gpio::writeOut(std::uint32_t value) {
    out_ = value & ((1u << kGpioCount) - 1);
    update();
}

void Gpio::writeOutputEnable(std::uint32_t value) {
    oe_ = value & ((1u << kGpioCount) - 1);
    update();
}

std::uint32_t Gpio::in() const {
    std::uint32_t in = 0;
    for (unsigned pin = 0; pin < kGpioCount; ++pin) {
        if (applyOverride((inputs_ >> pin) & 1u, pins_[pin].ctrl, kInOverShift))
            in |= 1u << pin;
    }
    return in;
}

std::uint32_t Gpio::irqEnabled(int core, unsigned pin) const {
    return enables_.at(static_cast<unsigned>(core)).at(pin);
}

std::uint32_t Gpio::irqForced(int core, unsigned pin) const {
    return forces_.at(static_cast<unsigned>(core)).at(pin);
}

std::uint32_t Gpio::rawEvents(unsigned pin) const {
    bool in = (irqInputs_ >> pin) & 1u;
    return edges_.at(pin) | (in ? gpioirq::kLevelHigh : gpioirq::kLevelLow);
}

std::uint32_t Gpio::irqStatus(int core, unsigned pin) const {
    return (rawEvents(pin) & irqEnabled(core, pin)) | irqForced(core, pin);
}

void Gpio::drive(unsigned pin, Drive d) {
    if (world_.at(pin) == d)
        return;
    world_[pin] = d;
    update();
}

Drive Gpio::chipDrive(unsigned pin) const {
    const Pin& p = pins_.at(pin);
    const PeripheralOutput o = peripheralOutput(pin);
    // The overrides act in IO bank 0; the pad's output disable after them.
    if (!applyOverride(o.oe, p.ctrl, kOeOverShift) || (p.pad & kPadOutputDisable))
        return Drive::None;
    return applyOverride(o.out, p.ctrl, kOutOverShift) ? Drive::High : Drive::Low;
}

PinState Gpio::resolve(unsigned pin) const {
    const Pin& p = pins_.at(pin);
    const unsigned fn = function(pin);
    PinState s;
    s.function = fn;
    s.outputEnabled = (oe_ >> pin) & 1u;
    s.outLevel = (out_ >> pin) & 1u;
    s.pullUp = pulledUp(pin);
    s.pullDown = pulledDown(pin);
    s.inputEnabled = inputEnabled(pin);
    s.chip = chipDrive(pin);
    s.world = world_[pin];
    // A forced output level does not toggle.
    if (fn < drivers_.size() && drivers_[fn] && s.chip != Drive::None &&
        ((p.ctrl >> kOutOverShift) & 3u) < 2)
        s.toggling = drivers_[fn]->toggling(pin);
    if (s.chip != Drive::None && s.world != Drive::None && s.chip != s.world) {
        // A pin driven against a contact to ground: the contact wins.
        s.contention = true;
        s.level = false;
    } else if (s.chip != Drive::None) {
        s.level = isHigh(s.chip);
    } else if (s.world != Drive::None) {
        s.level = isHigh(s.world);
    } else if (s.pullUp && s.pullDown) {
        // Both pulls on make the pad's bus keeper: it holds the last level.
        s.level = (levels_ >> pin) & 1u;
    } else if (s.pullUp || s.pullDown) {
        s.level = s.pullUp;
    } else {
        s.floating = true;
        s.level = false;
    }
    return s;
}

bool Gpio::level(unsigned pin) const {
    return resolve(pin).level;
}

PinState Gpio::state(unsigned pin) const {
    return resolve(pin);
}

std::string Gpio::describe(unsigned pin) const {
    PinState s = resolve(pin);
    std::string d =
        std::string("level ") + (s.level ? "1" : "0") + ", function " + functionName(s.function);
    if (s.function == gpiofn::kSio)
        d += s.outputEnabled ? std::string(", output ") + (s.outLevel ? "high" : "low") : ", input";
    else if (s.chip != Drive::None)
        d += std::string(", peripheral drives ") + driveName(s.chip);
    if (s.toggling)
        d += ", toggling";
    if (s.world != Drive::None)
        d += std::string(", world drives ") + driveName(s.world);
    if (s.pullUp && s.pullDown)
        d += ", bus keeper";
    else if (s.pullUp)
        d += ", pull-up";
    else if (s.pullDown)
        d += ", pull-down";
    if (!s.inputEnabled)
        d += ", input off";
    if (s.floating)
        d += ", floating";
    if (s.contention)
        d += ", contention";
    return d;
}

void Gpio::attachPeripheral(unsigned function, PinDriver* driver) {
    drivers_.at(function) = driver;
    update();
}

int Gpio::addListener(std::uint32_t pinMask, Listener listener) {
    int id = nextListener_++;
    listeners_.push_back({id, pinMask, std::move(listener)});
    return id;
}

void Gpio::removeListener(int id) {
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [id](const ListenerEntry& e) { return e.id == id; }),
                     listeners_.end());
}

void Gpio::update() {
    // Listeners may drive pins in turn; their changes are taken in the next
    // round instead of recursively.
    if (updating_) {
        again_ = true;
        return;
    }
    updating_ = true;
    do {
        again_ = false;
        std::uint32_t changed = 0;
        std::array<PinState, kGpioCount> states;
        for (unsigned pin = 0; pin < kGpioCount; ++pin) {
            PinState& s = states[pin];
            s = resolve(pin);
            const std::uint32_t bit = 1u << pin;
            if (s.toggling) {
                toggling_ |= bit;
                continue;
            }
            toggling_ &= ~bit;
            if (((levels_ & bit) != 0) != s.level) {
                levels_ ^= bit;
                changed |= bit;
            }
            // Edges are seen behind the input buffer and the interrupt
            // override, whatever the function.
            const bool in = s.inputEnabled && s.level;
            if (((inputs_ & bit) != 0) != in)
                inputs_ ^= bit;
            const bool irq = applyOverride(in, pins_[pin].ctrl, kIrqOverShift);
            if (((irqInputs_ & bit) != 0) != irq) {
                irqInputs_ ^= bit;
                edges_[pin] |= irq ? gpioirq::kEdgeRise : gpioirq::kEdgeFall;
            }
        }
        updateIrqLines();
        for (unsigned pin = 0; pin < kGpioCount; ++pin) {
            if (!((changed >> pin) & 1u))
                continue;
            host_.notifyObservers(
                [&](ChipObserver& o, Chip& c) { o.pinChanged(c, pin, states[pin]); });
            for (std::size_t i = 0; i < listeners_.size(); ++i) {
                if ((listeners_[i].mask >> pin) & 1u) {
                    Listener fn = listeners_[i].fn; // may remove itself
                    fn(pin, states[pin].level);
                }
            }
        }
    } while (again_);
    updating_ = false;
}

void Gpio::updateIrqLines() {
    for (int core = 0; core < 2; ++core) {
        bool pending = false;
        for (unsigned pin = 0; pin < kGpioCount && !pending; ++pin)
            pending = irqStatus(core, pin) != 0;
        lines_[static_cast<unsigned>(core)] = pending;
    }
    host_.setIrqLine(0, kIoIrqBank0, lines_[0]);
    host_.setIrqLine(1, kIoIrqBank0, lines_[1]);
}

} // namespace sim
