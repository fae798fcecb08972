#include "world/board_signals.h"

namespace sim {

namespace {

// Analog inputs are shown in volts, the backplane's bus lines as bus.sda and
// bus.scl; neither is a digital wire of the board.
bool digitalUse(PinUse use) {
    switch (use) {
    case PinUse::AnalogIn:
    case PinUse::SlotCoding:
    case PinUse::BusSda:
    case PinUse::BusScl:
        return false;
    default:
        return true;
    }
}

BoardSignals signalsOf(const BoardDescription& d) {
    BoardSignals s;
    for (const PinDescription& p : d.pins) {
        if (digitalUse(p.use)) {
            s.pins.push_back({p.gpio, p.name});
        } else {
            s.notDigital |= 1u << p.gpio;
            if (p.use == PinUse::AnalogIn || p.use == PinUse::SlotCoding)
                s.analog.push_back({adcInputOf(p), p.name});
        }
        if (p.use == PinUse::SpiSck)
            s.sck = static_cast<int>(p.gpio);
        else if (p.use == PinUse::SpiMosi)
            s.mosi = static_cast<int>(p.gpio);
        else if (p.use == PinUse::SpiMiso)
            s.miso = static_cast<int>(p.gpio);
    }
    for (const FadedLed& led : d.faded)
        s.faded.push_back({led.gpio, led.name});
    return s;
}

} // namespace

std::string BoardSignals::pinName(unsigned pin) const {
    for (const Named& p : pins) {
        if (p.number == pin)
            return p.name;
    }
    return "gpio" + std::to_string(pin);
}

const BoardSignals& boardSignals(BoardKind kind) {
    static const BoardSignals kSignals[] = {
        signalsOf(boardDescription(BoardKind::Valdor)),
        signalsOf(boardDescription(BoardKind::Quillet)),
        signalsOf(boardDescription(BoardKind::Brennic)),
        signalsOf(boardDescription(BoardKind::Bare)),
    };
    switch (kind) {
    case BoardKind::Valdor:
        return kSignals[0];
    case BoardKind::Quillet:
        return kSignals[1];
    case BoardKind::Brennic:
        return kSignals[2];
    case BoardKind::Bare:
        break;
    }
    return kSignals[3];
}

} // namespace sim
