// Each image sets up the pins its board's description names, each as its
// role needs it, and leaves every other pin as reset left it: what a probe on
// every pin of a freshly started board would see. The firmware's pin
// constants that no test can reach by name (the SPI, bus, LED, analog and
// console pins) are held against the description here.
#include "link_bench.h"

#include "chip/gpio.h"

#include <sstream>
#include <string>

namespace link_test {
namespace {

std::string describe(const sim::PinState& s) {
    std::ostringstream os;
    os << sim::functionName(s.function) << (s.outputEnabled ? " output" : " input")
       << (s.outLevel ? " high" : " low") << (s.pullUp ? " pull-up" : "")
       << (s.pullDown ? " pull-down" : "") << (s.inputEnabled ? "" : " input-off");
    return os.str();
}

// Whether `s` is what a pin of this use is after start-up, with no host.
bool setUpFor(const sim::PinDescription& pin, const sim::PinState& s, bool faded) {
    using sim::PinUse;
    const bool sio = s.function == sim::gpiofn::kSio;
    const bool sioOut = sio && s.outputEnabled;
    switch (pin.use) {
    case PinUse::DigitalOut:
        // A status LED fades by PWM until the host shows activity.
        return (sioOut && !s.outLevel) || (faded && s.function == sim::gpiofn::kPwm);
    case PinUse::DigitalIn:
        return sio && !s.outputEnabled && s.pullUp && s.inputEnabled;
    case PinUse::ChangeLine:
    case PinUse::Led:
    case PinUse::SelectAddress:
    case PinUse::SelectEnable:
        return sioOut;
    case PinUse::DacSelect:
        return sioOut && s.outLevel; // idle: not selected
    case PinUse::AnalogIn:
    case PinUse::SlotCoding:
        return s.function == sim::gpiofn::kNull && !s.inputEnabled && !s.pullUp && !s.pullDown;
    case PinUse::SpiSck:
    case PinUse::SpiMosi:
    case PinUse::SpiMiso:
        return s.function == sim::gpiofn::kSpi;
    case PinUse::UartTx:
    case PinUse::UartRx:
        return s.function == sim::gpiofn::kUart;
    case PinUse::BusSda:
    case PinUse::BusScl:
        return s.function == sim::gpiofn::kI2c && s.pullUp;
    }
    return false;
}

class BoardPins : public LinkTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BoardPins, EveryDescribedPinIsSetUpForItsRoleAndNoOtherIsTouched) {
    sim::Board& board = insert(GetParam());
    const sim::BoardDescription& d = board.description();
    ASSERT_STREQ(d.image, GetParam());
    start(milliseconds(20) + kStartUp);
    std::uint32_t described = 0;
    for (const sim::PinDescription& pin : d.pins) {
        bool faded = false;
        for (const sim::FadedLed& led : d.faded)
            faded |= led.gpio == pin.gpio;
        const sim::PinState s = board.chip().gpio.state(pin.gpio);
        EXPECT_TRUE(setUpFor(pin, s, faded))
            << pin.name << " on GPIO" << pin.gpio << " is " << describe(s);
        described |= 1u << pin.gpio;
    }
    for (unsigned gpio = 0; gpio < sim::kGpioCount; ++gpio) {
        if ((described >> gpio) & 1u)
            continue;
        const sim::PinState s = board.chip().gpio.state(gpio);
        EXPECT_EQ(s.function, sim::gpiofn::kNull)
            << "GPIO" << gpio << " has no role on " << d.image << " but is " << describe(s);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, BoardPins, ::testing::Values("valdor", "quillet", "brennic"));

} // namespace
} // namespace link_test
