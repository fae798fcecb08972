// What the library makes of the bytes a board sends: descriptors and
// thermocouple values.
#include "boardhost/descriptor.h"
#include "boardhost/thermo.h"

#include <gtest/gtest.h>

namespace {

using boardhost::Error;
using boardhost::ThermoFault;

TEST(Descriptor, TheBoardsOwnTexts) {
    auto valdor = boardhost::parseDescriptor(
        R"(["Pico",{"dout":{"n":12},"din":{"n":4},"aout":{"n":2,"res":12},"ain":{"n":2},"v":"0.2"}])");
    ASSERT_TRUE(valdor.ok()) << valdor.error().message;
    EXPECT_EQ(valdor->hardware, "Pico");
    EXPECT_EQ(valdor->version, "0.2");
    EXPECT_EQ(summary(*valdor), "dout 12, din 4, aout 2 (12 bit), ain 2");

    auto quillet = boardhost::parseDescriptor(
        R"(["Pico",{"dout":{"n":9},"din":{"n":6},"v":"0.1","thermo":{"n":8}}])");
    ASSERT_TRUE(quillet.ok()) << quillet.error().message;
    EXPECT_EQ(quillet->thermocouples, 8u);
    EXPECT_EQ(quillet->analogOutputs, 0u);
    EXPECT_EQ(summary(*quillet), "dout 9, din 6, thermo 8");
}

TEST(Descriptor, KindsItDoesNotKnowAreIgnored) {
    auto d = boardhost::parseDescriptor(R"(["Pico",{"dout":{"n":3},"pwm":{"n":4}}])");
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d->digitalOutputs, 3u);
    EXPECT_EQ(d->version, "");
}

TEST(Descriptor, BrokenTextsAreErrors) {
    const char* broken[] = {
        "",
        "[\"Pico\",{\"dout\":{\"n\":12}",   // cut short
        "{\"dout\":{\"n\":12}}",            // not an array
        "[\"Pico\"]",                       // no kinds
        "[1,{}]",                           // no hardware name
        "[\"Pico\",{\"dout\":{\"n\":-1}}]", // negative count
        "[\"Pico\",{\"dout\":{\"n\":17}}]", // more than 16 channels
        "[\"Pico\",{\"din\":{\"n\":17}}]",  // more than 0x12, 0x13 hold
        // More channels than the 16-bit blocks at 0x60, 0x70, 0x80 hold.
        "[\"Pico\",{\"aout\":{\"n\":9,\"res\":12}}]", "[\"Pico\",{\"ain\":{\"n\":9}}]",
        "[\"Pico\",{\"thermo\":{\"n\":9}}]",
        "[\"Pico\",{\"ain\":{\"n\":16},\"thermo\":{\"n\":16},\"aout\":{\"n\":16,\"res\":16}}]",
        // Counts of 2^32 and more must not wrap into range.
        "[\"Pico\",{\"dout\":{\"n\":4294967308}}]",
        "[\"Pico\",{\"dout\":{\"n\":18446744073709551615}}]",
        "[\"Pico\",{\"aout\":{\"n\":2,\"res\":4294967308}}]",
        "[\"Pico\",{\"din\":4}]",                    // count not in an object
        "[\"Pico\",{\"aout\":{\"n\":2}}]",           // no resolution
        "[\"Pico\",{\"aout\":{\"n\":2,\"res\":0}}]", // no resolution
        "[\"Pico\",{\"v\":2}]",                      // version not a text
    };
    for (const char* text : broken) {
        auto d = boardhost::parseDescriptor(text);
        ASSERT_FALSE(d.ok()) << text;
        EXPECT_EQ(d.error().kind, Error::Kind::BadDescriptor) << text;
    }
}

TEST(Descriptor, TheLargestBlocksAreTaken) {
    auto d = boardhost::parseDescriptor(
        R"(["Pico",{"dout":{"n":16},"din":{"n":16},"aout":{"n":8,"res":16},"ain":{"n":8},"thermo":{"n":8}}])");
    ASSERT_TRUE(d.ok()) << d.error().message;
    EXPECT_EQ(summary(*d), "dout 16, din 16, aout 8 (16 bit), ain 8, thermo 8");
}

// A board's bytes in an error message come escaped and cut short.
TEST(Descriptor, BoardTextInMessagesIsPrintable) {
    auto d = boardhost::parseDescriptor(std::string(88, '\xff'));
    ASSERT_FALSE(d.ok());
    EXPECT_EQ(
        d.error().message, "not JSON: " + [] {
            std::string s;
            for (int i = 0; i < 64; ++i)
                s += "\\xff";
            return s;
        }() + "... (88 bytes)");
    auto named = boardhost::parseDescriptor(std::string("[\"Pi\0co\x1b[31m\\\",{}", 17));
    ASSERT_FALSE(named.ok());
    EXPECT_EQ(named.error().message, "not JSON: [\"Pi\\x00co\\x1b[31m\\\\\",{}");
}

TEST(Thermo, ValuesAndFaults) {
    struct Case {
        std::uint16_t raw;
        ThermoFault fault;
        unsigned hundredths;
        const char* text;
    };
    const Case cases[] = {
        {0, ThermoFault::None, 0, "0.00"},
        {2525, ThermoFault::None, 2525, "25.25"},
        {32750, ThermoFault::None, 32750, "327.50"},
        {0x8004, ThermoFault::OpenInput, 0, "open input (0x8004)"},
        {0x8010, ThermoFault::OutOfRange, 0, "out of range (0x8010)"},
        {0xC000, ThermoFault::Unsupported, 0, "unsupported converter (0xc000)"},
        {0x8001, ThermoFault::Unknown, 0, "unknown fault (0x8001)"},
        {0x8002, ThermoFault::Unknown, 0, "unknown fault (0x8002)"},
        {0xFFFF, ThermoFault::Unknown, 0, "unknown fault (0xffff)"},
        // Above 327.50 without bit 15: no frame gives these.
        {32751, ThermoFault::Impossible, 0, "impossible value (0x7fef)"},
        {0x7FFF, ThermoFault::Impossible, 0, "impossible value (0x7fff)"},
    };
    for (const Case& c : cases) {
        boardhost::ThermoReading r = boardhost::decodeThermo(c.raw);
        EXPECT_EQ(r.fault, c.fault) << c.raw;
        EXPECT_EQ(r.ok(), c.fault == ThermoFault::None) << c.raw;
        EXPECT_EQ(r.hundredths, c.hundredths) << c.raw;
        EXPECT_EQ(r.raw, c.raw);
        EXPECT_EQ(describe(r), c.text);
    }
}

} // namespace
