// IO bank 0, the pads of bank 0 and SIO's GPIO registers as register blocks. Every register is a
// view of Gpio's own state, so the SDK layer's calls and the processor's
// register accesses meet on the same pins.
#include "chip/gpio.h"

namespace sim {

namespace {

constexpr std::uint32_t kInterruptGroup = 0x30; // INTE, INTF, INTS of one target
constexpr std::uint32_t kInterruptEnd = Gpio::kProc0Inte0 + 3 * kInterruptGroup;
constexpr std::uint32_t kHiPins = 0x3f; // the six QSPI pins
constexpr std::uint32_t kUserPins = (1u << kGpioCount) - 1;
constexpr unsigned kTargets = 3; // processor 0, processor 1, dormant wake

// The bits of one interrupt register (four events of eight pins) that
// belong to pins of the bank; `events` of each pin's four.
constexpr std::uint32_t pinBits(unsigned reg, std::uint32_t events = 0xF) {
    std::uint32_t bits = 0;
    for (unsigned i = 0; i < 8 && reg * 8 + i < kGpioCount; ++i)
        bits |= events << (4 * i);
    return bits;
}

// Each pin's STATUS and CTRL; the raw events, whose edge bits a written 1
// clears and whose level bits follow the pins (pulled down after reset, so
// each reads low); then INTE, INTF and INTS of each target.
constexpr auto ioBankEntries() {
    std::array<RegisterInfo, 2 * kGpioCount + 4 + kTargets * 3 * 4> m{};
    std::size_t n = 0;
    for (unsigned pin = 0; pin < kGpioCount; ++pin) {
        m[n++] = status(8 * pin, 0);
        m[n++] = stored(8 * pin + 4, gpiofn::kNull, Gpio::kCtrlMask);
    }
    const std::uint32_t edges = gpioirq::kEdgeFall | gpioirq::kEdgeRise;
    for (unsigned reg = 0; reg < 4; ++reg)
        m[n++] = status(Gpio::kIntr0 + 4 * reg, pinBits(reg, gpioirq::kLevelLow), 0,
                        pinBits(reg, edges));
    for (unsigned target = 0; target < kTargets; ++target) {
        const std::uint32_t base = Gpio::kProc0Inte0 + target * kInterruptGroup;
        for (unsigned reg = 0; reg < 4; ++reg) {
            m[n++] = stored(base + 4 * reg, 0, pinBits(reg));
            m[n++] = stored(base + Gpio::kInteToIntf + 4 * reg, 0, pinBits(reg));
            m[n++] = status(base + Gpio::kInteToInts + 4 * reg, 0);
        }
    }
    return m;
}
constexpr auto kIoBankEntries = ioBankEntries();
constexpr RegisterMap kIoBankMap{kIoBankEntries};

// VOLTAGE_SELECT, each pin's pad, then SWCLK's and SWD's.
constexpr auto padsEntries() {
    std::array<RegisterInfo, 1 + kGpioCount + 2> m{};
    std::size_t n = 0;
    m[n++] = stored(Gpio::kVoltageSelect, 0, 0x1);
    for (unsigned pin = 0; pin < kGpioCount; ++pin)
        m[n++] = stored(Gpio::kPadGpio0 + 4 * pin, Gpio::kPadReset, 0xFF);
    m[n++] = stored(Gpio::kPadSwclk, 0xDA, 0xFF);
    m[n++] = stored(Gpio::kPadSwd, 0x5A, 0xFF);
    return m;
}
constexpr auto kPadsEntries = padsEntries();
constexpr RegisterMap kPadsMap{kPadsEntries};

// The four event bits of eight pins in one interrupt register.
template <class F>
std::uint32_t pack(unsigned reg, F events) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < 8; ++i) {
        const unsigned pin = reg * 8 + i;
        if (pin < kGpioCount)
            value |= (events(pin) & 0xFu) << (4 * i);
    }
    return value;
}

} // namespace

const RegisterMap& Gpio::ioBankRegisters() {
    return kIoBankMap;
}

const RegisterMap& Gpio::padsRegisters() {
    return kPadsMap;
}

std::uint32_t Gpio::IoBankRegisters::peek(std::uint32_t offset) const {
    if (offset < kIntr0) {
        const unsigned pin = offset / 8;
        if (pin >= kGpioCount)
            return 0;
        if (offset % 8 == 0)
            return gpio_.status(pin);
        return offset % 8 == 4 ? gpio_.control(pin) : 0;
    }
    if (offset < kProc0Inte0)
        return pack((offset - kIntr0) / 4, [&](unsigned pin) { return gpio_.rawEvents(pin); });
    if (offset >= kInterruptEnd)
        return 0;
    const int target = static_cast<int>((offset - kProc0Inte0) / kInterruptGroup);
    const std::uint32_t within = (offset - kProc0Inte0) % kInterruptGroup;
    const unsigned reg = (within % kInteToIntf) / 4;
    switch (within / kInteToIntf) {
    case 0:
        return pack(reg, [&](unsigned pin) { return gpio_.irqEnabled(target, pin); });
    case 1:
        return pack(reg, [&](unsigned pin) { return gpio_.irqForced(target, pin); });
    default:
        return pack(reg, [&](unsigned pin) { return gpio_.irqStatus(target, pin); });
    }
}

void Gpio::IoBankRegisters::write(std::uint32_t offset, std::uint32_t value) {
    if (offset < kIntr0) {
        const unsigned pin = offset / 8;
        if (pin < kGpioCount && offset % 8 == 4)
            gpio_.writeControl(pin, kIoBankMap.masked(offset, value));
        return; // STATUS is read-only
    }
    auto forEachPin = [&](unsigned reg, auto apply) {
        for (unsigned i = 0; i < 8; ++i) {
            const unsigned pin = reg * 8 + i;
            if (pin < kGpioCount)
                apply(pin, static_cast<std::uint8_t>((value >> (4 * i)) & 0xFu));
        }
        gpio_.updateIrqLines();
    };
    if (offset < kProc0Inte0) {
        // Write 1 to clear: only the edge latches hold anything to clear.
        forEachPin((offset - kIntr0) / 4, [&](unsigned pin, std::uint8_t events) {
            gpio_.edges_[pin] = static_cast<std::uint8_t>(gpio_.edges_[pin] & ~events);
        });
        return;
    }
    if (offset >= kInterruptEnd)
        return;
    const unsigned target = (offset - kProc0Inte0) / kInterruptGroup;
    const std::uint32_t within = (offset - kProc0Inte0) % kInterruptGroup;
    const unsigned reg = (within % kInteToIntf) / 4;
    switch (within / kInteToIntf) {
    case 0:
        forEachPin(
            reg, [&](unsigned pin, std::uint8_t events) { gpio_.enables_[target][pin] = events; });
        break;
    case 1:
        forEachPin(reg,
                   [&](unsigned pin, std::uint8_t events) { gpio_.forces_[target][pin] = events; });
        break;
    default:
        break; // INTS is read-only
    }
}

std::uint32_t Gpio::IoBankRegisters::writeClearBits(std::uint32_t offset) const {
    if (offset < kIntr0 || offset >= kProc0Inte0)
        return 0;
    return pack((offset - kIntr0) / 4,
                [](unsigned) { return gpioirq::kEdgeFall | gpioirq::kEdgeRise; });
}

std::uint32_t Gpio::PadsRegisters::peek(std::uint32_t offset) const {
    if (offset == kVoltageSelect)
        return gpio_.voltageSelect_;
    if (offset == kPadSwclk)
        return gpio_.padSwclk_;
    if (offset == kPadSwd)
        return gpio_.padSwd_;
    const unsigned pin = (offset - kPadGpio0) / 4;
    if (offset % 4 == 0 && pin < kGpioCount)
        return gpio_.pad(pin);
    return 0;
}

void Gpio::PadsRegisters::write(std::uint32_t offset, std::uint32_t value) {
    if (!kPadsMap.find(offset))
        return;
    value = kPadsMap.masked(offset, value);
    if (offset == kVoltageSelect) {
        gpio_.voltageSelect_ = value;
    } else if (offset == kPadSwclk) {
        gpio_.padSwclk_ = static_cast<std::uint8_t>(value);
    } else if (offset == kPadSwd) {
        gpio_.padSwd_ = static_cast<std::uint8_t>(value);
    } else {
        gpio_.writePad((offset - kPadGpio0) / 4, value);
    }
}

std::uint32_t Gpio::SioRegisters::peek(std::uint32_t offset) const {
    switch (offset) {
    case kSioIn:
        return gpio_.in();
    case kSioHiIn:
        return gpio_.hiOut_ & gpio_.hiOe_ & kHiPins;
    case kSioOut:
        return gpio_.out();
    case kSioOe:
        return gpio_.outputEnable();
    case kSioHiOut:
        return gpio_.hiOut_;
    case kSioHiOe:
        return gpio_.hiOe_;
    default:
        return 0; // the SET, CLR and XOR aliases read as 0
    }
}

void Gpio::SioRegisters::write(std::uint32_t offset, std::uint32_t value) {
    if (offset < kSioOut || offset >= kSioEnd)
        return; // GPIO_IN and GPIO_HI_IN are read-only
    const std::uint32_t word = offset & ~0xFu;
    auto applied = [&](std::uint32_t current) {
        switch (offset & 0xFu) {
        case 0:
            return value;
        case kSioSet:
            return current | value;
        case kSioClr:
            return current & ~value;
        default:
            return current ^ value;
        }
    };
    if (word == kSioOut)
        gpio_.writeOut(applied(gpio_.out()) & kUserPins);
    else if (word == kSioOe)
        gpio_.writeOutputEnable(applied(gpio_.outputEnable()) & kUserPins);
    else if (word == kSioHiOut)
        gpio_.hiOut_ = applied(gpio_.hiOut_) & kHiPins;
    else
        gpio_.hiOe_ = applied(gpio_.hiOe_) & kHiPins;
}

} // namespace sim
