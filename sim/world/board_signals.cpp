#include "world/board_signals.h"

#include <initializer_list>

namespace sim {

namespace {

constexpr std::uint32_t bit(unsigned pin) {
    return 1u << pin;
}

// The backplane's bus lines are probed as bus.sda and bus.scl; the slot
// divider's voltage on GPIO28 as the real signal "slot".
constexpr std::uint32_t kBusAndSlot = bit(Board::kSda) | bit(Board::kScl) | bit(28);

// Channel i of a kind on the i-th pin of `order`.
void addChannels(BoardSignals& s, std::initializer_list<unsigned> order, const std::string& kind) {
    unsigned channel = 0;
    for (unsigned pin : order)
        s.pins.push_back({pin, kind + std::to_string(channel++)});
}

BoardSignals valdor() {
    BoardSignals s;
    addChannels(s, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, "dout");
    addChannels(s, {15, 14, 13, 12}, "din");
    s.pins.insert(
        s.pins.end(),
        {{17, "change_n"}, {18, "spi_sck"}, {19, "spi_mosi"}, {22, "dac_cs_n"}, {25, "led"}});
    s.analog = {{0, "ain0"}, {1, "ain1"}, {2, "slot"}};
    s.faded = {{1, "led_startup"}, {0, "led_host_lost"}};
    s.notDigital = kBusAndSlot | bit(26) | bit(27);
    s.sck = 18;
    s.mosi = 19;
    return s;
}

BoardSignals quillet() {
    BoardSignals s;
    addChannels(s, {12, 22, 11, 26, 10, 27, 2, 1, 0}, "dout");
    addChannels(s, {15, 17, 14, 18, 13, 19}, "din");
    s.pins.insert(s.pins.end(), {{16, "change_n"},
                                 {4, "spi_miso"},
                                 {6, "spi_sck"},
                                 {3, "cs_a0"},
                                 {5, "cs_a1"},
                                 {7, "cs_a2"},
                                 {8, "cs_enable"},
                                 {25, "led"}});
    s.analog = {{2, "slot"}};
    s.notDigital = kBusAndSlot;
    s.sck = 6;
    s.miso = 4;
    return s;
}

BoardSignals brennic() {
    BoardSignals s;
    s.pins = {{16, "spi_miso"}, {18, "spi_sck"}, {17, "cs_a0"},  {20, "cs_a1"}, {21, "cs_a2"},
              {9, "cs_enable"}, {0, "uart_tx"},  {1, "uart_rx"}, {25, "led"}};
    s.analog = {{2, "slot"}};
    // No host link: GPIO20 and GPIO21 carry select lines.
    s.notDigital = bit(28);
    s.sck = 18;
    s.miso = 16;
    return s;
}

BoardSignals bare() {
    BoardSignals s;
    s.pins = {{25, "led"}};
    s.analog = {{2, "slot"}};
    s.notDigital = bit(28);
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
    static const BoardSignals kValdor = valdor();
    static const BoardSignals kQuillet = quillet();
    static const BoardSignals kBrennic = brennic();
    static const BoardSignals kBare = bare();
    switch (kind) {
    case BoardKind::Valdor:
        return kValdor;
    case BoardKind::Quillet:
        return kQuillet;
    case BoardKind::Brennic:
        return kBrennic;
    case BoardKind::Bare:
        break;
    }
    return kBare;
}

} // namespace sim
