// The names a probe gives a board's pins, from the boards' pin tables.
#include "world/board_signals.h"

#include <gtest/gtest.h>

#include <set>

namespace sim {
namespace {

TEST(BoardSignals, PinsAreNamedByTheirRole) {
    struct Case {
        BoardKind kind;
        unsigned pin;
        const char* name;
    };
    const Case cases[] = {
        {BoardKind::Valdor, 11, "dout0"},    {BoardKind::Valdor, 0, "dout11"},
        {BoardKind::Valdor, 15, "din0"},     {BoardKind::Valdor, 12, "din3"},
        {BoardKind::Valdor, 17, "change_n"}, {BoardKind::Valdor, 18, "spi_sck"},
        {BoardKind::Valdor, 19, "spi_mosi"}, {BoardKind::Valdor, 22, "dac_cs_n"},
        {BoardKind::Valdor, 25, "led"},      {BoardKind::Valdor, 16, "gpio16"},
        {BoardKind::Quillet, 12, "dout0"},   {BoardKind::Quillet, 27, "dout5"},
        {BoardKind::Quillet, 0, "dout8"},    {BoardKind::Quillet, 17, "din1"},
        {BoardKind::Quillet, 19, "din5"},    {BoardKind::Quillet, 16, "change_n"},
        {BoardKind::Quillet, 4, "spi_miso"}, {BoardKind::Quillet, 6, "spi_sck"},
        {BoardKind::Quillet, 5, "cs_a1"},    {BoardKind::Quillet, 8, "cs_enable"},
        {BoardKind::Brennic, 21, "cs_a2"},   {BoardKind::Brennic, 9, "cs_enable"},
        {BoardKind::Brennic, 0, "uart_tx"},  {BoardKind::Brennic, 16, "spi_miso"},
        {BoardKind::Bare, 25, "led"},        {BoardKind::Bare, 3, "gpio3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(boardSignals(c.kind).pinName(c.pin), c.name) << c.pin;
}

TEST(BoardSignals, EverySignalOfABoardHasItsOwnNameAndNamedPinsAreProbed) {
    for (BoardKind kind :
         {BoardKind::Valdor, BoardKind::Quillet, BoardKind::Brennic, BoardKind::Bare}) {
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

TEST(BoardSignals, BusAndAnalogPinsAreNotDigitalWires) {
    EXPECT_FALSE(boardSignals(BoardKind::Valdor).digital(20));
    EXPECT_FALSE(boardSignals(BoardKind::Valdor).digital(26));
    EXPECT_FALSE(boardSignals(BoardKind::Quillet).digital(21));
    EXPECT_TRUE(boardSignals(BoardKind::Quillet).digital(26)); // an output there
    EXPECT_TRUE(boardSignals(BoardKind::Brennic).digital(20)); // a select line there
    EXPECT_FALSE(boardSignals(BoardKind::Brennic).digital(28));
}

} // namespace
} // namespace sim
