// The names a probe gives a board's pins, from the boards' descriptions.
#include "world/board_signals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

namespace sim {
namespace {

constexpr BoardKind kKinds[] = {BoardKind::Valdor, BoardKind::Quillet, BoardKind::Brennic,
                                BoardKind::Bare};

TEST(BoardSignals, PinsAreNamedByTheirRoleAndOthersByNumber) {
    for (BoardKind kind : kKinds) {
        const BoardDescription& d = boardDescription(kind);
        const BoardSignals& s = boardSignals(kind);
        std::uint32_t named = 0;
        for (const PinDescription& p : d.pins) {
            if (s.digital(p.gpio)) {
                EXPECT_EQ(s.pinName(p.gpio), p.name) << d.image << " GPIO" << p.gpio;
                named |= 1u << p.gpio;
            }
        }
        for (unsigned pin = 0; pin < kGpioCount; ++pin) {
            if (!((named >> pin) & 1u)) {
                EXPECT_EQ(s.pinName(pin), "gpio" + std::to_string(pin)) << d.image;
            }
        }
    }
}

TEST(BoardSignals, EverySignalOfABoardHasItsOwnNameAndNamedPinsAreProbed) {
    for (BoardKind kind : kKinds) {
        const BoardSignals& s = boardSignals(kind);
        std::set<std::string> names;
        std::size_t count = 0;
        for (unsigned pin = 0; pin < kGpioCount; ++pin) {
            if (s.digital(pin)) {
                names.insert(s.pinName(pin));
                ++count;
            }
        }
        for (const auto& named : s.pins)
            EXPECT_TRUE(s.digital(named.number)) << named.name;
        for (const auto* list : {&s.analog, &s.faded}) {
            for (const auto& named : *list) {
                names.insert(named.name);
                ++count;
            }
        }
        EXPECT_EQ(names.size(), count);
        EXPECT_EQ(names.count("slot"), 1u);
    }
}

// The backplane's lines and the analog inputs are no digital wires; an
// ADC-capable pin used as an output, or a bus pin carrying a select line on
// a board without a host link, is.
TEST(BoardSignals, BusAndAnalogPinsAreNotDigitalWires) {
    const BoardDescription& valdor = boardDescription(BoardKind::Valdor);
    const BoardDescription& quillet = boardDescription(BoardKind::Quillet);
    const BoardDescription& brennic = boardDescription(BoardKind::Brennic);
    EXPECT_FALSE(boardSignals(BoardKind::Valdor).digital(valdor.gpio(PinUse::BusSda)));
    EXPECT_FALSE(boardSignals(BoardKind::Valdor).digital(valdor.gpio(PinUse::AnalogIn, 0)));
    EXPECT_FALSE(boardSignals(BoardKind::Quillet).digital(quillet.gpio(PinUse::BusScl)));
    const unsigned adcPinOutput = quillet.gpio(PinUse::DigitalOut, 3);
    ASSERT_GE(adcPinOutput, 26u);
    EXPECT_TRUE(boardSignals(BoardKind::Quillet).digital(adcPinOutput));
    const unsigned selectOnBus = brennic.gpio(PinUse::SelectAddress, 1);
    ASSERT_EQ(selectOnBus, kBackplaneSda);
    EXPECT_TRUE(boardSignals(BoardKind::Brennic).digital(selectOnBus));
    EXPECT_FALSE(boardSignals(BoardKind::Brennic).digital(brennic.gpio(PinUse::SlotCoding)));
}

} // namespace
} // namespace sim
