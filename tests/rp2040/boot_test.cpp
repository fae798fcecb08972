// The boot ROM: what the SDK reads of it, and the routines a program finds
// through the lookup.
#include "program_bench.h"

#include "rp2040/bootrom.h"

namespace {

using sim::milliseconds;

class Rom : public ProgramBench {};

TEST_F(Rom, LookupAndRoutinesAsTheSdkCallsThem) {
    LOAD_PROGRAM("rom_calls");
    EXPECT_FALSE(chip->running());
    chip->powerOn();
    run(milliseconds(1));
    EXPECT_TRUE(chip->running());
    // 'M', 'u', table version 1, ROM version 3 (a B2 chip).
    EXPECT_EQ(word("magic"), 0x0301754du);
    const std::uint32_t bits[] = {
        9,          // popcount32(0xf00f0001)
        0xc0000000, // reverse32(3)
        15,         // clz32(0x10000)
        32,         // clz32(0)
        8,          // ctz32(0x100)
        32,         // ctz32(0)
    };
    for (std::uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(word("bits", i), bits[i]) << "bits[" << i << "]";
    EXPECT_EQ(word("missing"), 0u);

    const std::uint32_t buffer = address("buffer"), words = address("words");
    std::uint8_t bytes[32];
    ASSERT_TRUE(chip->readMemory(buffer, bytes, sizeof bytes));
    const std::uint8_t expected[20] = {0, 0x5a, 0x5a, 0x5a, 0x5a, 0x5a, 0, 0, 0, 0,
                                       1, 2,    3,    4,    5,    6,    7, 0, 0, 0};
    for (unsigned i = 0; i < 20; ++i)
        EXPECT_EQ(bytes[i], expected[i]) << "buffer[" << i << "]";
    EXPECT_EQ(chip->readWord(words), 0x3c3c3c3cu);
    EXPECT_EQ(chip->readWord(words + 4), 0x3c3c3c3cu);
    EXPECT_EQ(chip->readWord(words + 8), 0u);
    EXPECT_EQ(chip->readWord(words + 16), 0x04030201u);
    EXPECT_EQ(chip->readWord(words + 24), 0x0c0b0a09u);
    // Each routine returns its destination.
    EXPECT_EQ(word("returned", 0), buffer + 1);
    EXPECT_EQ(word("returned", 1), buffer + 10);
    EXPECT_EQ(word("returned", 2), words);
    EXPECT_EQ(word("returned", 3), words + 16);

    EXPECT_NE(word("float_table"), 0u);
    EXPECT_EQ(word("float_table_words"), 32u);
}

TEST(RomImage, TablesAsTheSdkReadsThem) {
    struct NoHost : sim::rp2040::BootromHost {
        std::array<std::uint32_t, 8> scratch{};
        std::array<std::uint32_t, 8>& watchdogScratch() override { return scratch; }
        void releaseResets(std::uint32_t) override {}
        void disableAdcPadInputs() override {}
        std::uint8_t* flash() override { return nullptr; }
        void parkForLaunch(sim::arm::Core&) override {}
        void chargeCycles(sim::arm::Core&, unsigned) override {}
    } host;
    sim::rp2040::Bootrom rom(host);
    const std::uint8_t* b = rom.bytes();
    auto half = [&](std::uint32_t at) { return std::uint32_t(b[at] | b[at + 1] << 8); };
    auto find = [&](std::uint32_t table, char x, char y) {
        for (std::uint32_t at = table; half(at) != 0; at += 4) {
            if (half(at) == sim::rp2040::Bootrom::code(x, y))
                return half(at + 2);
        }
        return 0u;
    };
    // Every function the SDK looks up is there, as a Thumb address of a
    // UDF stub followed by BX LR.
    const char* const functions[] = {"P3", "R3", "L3", "T3", "MS", "S4", "MC", "C4",
                                     "UB", "WV", "IF", "EX", "RE", "RP", "FC", "CX"};
    for (const char* f : functions) {
        const std::uint32_t at = find(half(0x14), f[0], f[1]);
        ASSERT_NE(at, 0u) << f;
        EXPECT_EQ(at & 1u, 1u) << f;
        EXPECT_EQ(half(at & ~1u) & 0xff00u, 0xde00u) << f;
        EXPECT_EQ(half((at & ~1u) + 2), 0x4770u) << f;
    }
    for (const char* d : {"SF", "SD"})
        EXPECT_NE(find(half(0x16), d[0], d[1]), 0u) << d;
    EXPECT_EQ(find(half(0x14), 'Q', 'Q'), 0u);
    EXPECT_EQ(half(0x18) & 1u, 1u);
    // The reset vector is the boot stub; the stack starts at the top of SRAM.
    EXPECT_EQ(b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24, 0x20042000u);
}

} // namespace
