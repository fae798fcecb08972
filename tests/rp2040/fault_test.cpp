// A core that cannot go on stops the simulation with one message: the chip,
// the core, the reason, the PC with its symbol and the last instructions.
#include "program_bench.h"

#include <vector>

namespace {

using sim::Drive;
using sim::microseconds;
using sim::milliseconds;

class Faults : public ProgramBench {};

TEST_F(Faults, MessageNamesCoreReasonPlaceAndRecentInstructions) {
    struct Case {
        const char* what;
        unsigned pin; // driven high to pick the fault, 0 for none
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"core 0 loads from nowhere",
         0,
         {"chip: core 0 stopped: HardFault", "0x30000000", "nothing is mapped there", "at pc 0x",
          " poke_unmapped+0x", "in task \"Poker\"", "last instructions", " main+0x"}},
        {"core 1 loads from nowhere",
         3,
         {"chip: core 1 stopped: HardFault", "0x30000000", " poke_unmapped+0x",
          "in task \"Poker1\"", " core1_main"}},
        {"core 0 moves its stack out of SRAM",
         4,
         {"chip: core 0 stopped: stack pointer 0x30000000 left SRAM", " leave_sram+0x",
          "in task \"Poker\""}},
    };
    for (const Case& c : cases) {
        sim::Simulation world;
        LOAD_PROGRAM("faults");
        sim::rp2040::Rp2040 chip(world, "chip", this->chip->elf().path());
        if (c.pin)
            chip.gpio.drive(c.pin, Drive::High);
        chip.powerOn();
        EXPECT_FALSE(world.runFor(milliseconds(1))) << c.what;
        EXPECT_FALSE(chip.running()) << c.what;
        const std::string& error = world.error();
        for (const std::string& part : c.expected)
            EXPECT_NE(error.find(part), std::string::npos)
                << c.what << ": no \"" << part << "\" in\n"
                << error;
        // Every recent instruction on a line of its own: address, symbol, code.
        EXPECT_GE(std::count(error.begin(), error.end(), '\n'), 3) << c.what << "\n" << error;
        // The run stopped at the fault, long before its end.
        EXPECT_LT(std::max(chip.coreTime(0), chip.coreTime(1)), microseconds(100)) << c.what;
    }
}

TEST(ElfLoading, UnusableFilesAreRefusedWithTheirName) {
    sim::Simulation world;
    const char* missing = "/nonexistent/program.elf";
    try {
        sim::rp2040::Rp2040 chip(world, "chip", missing);
        ADD_FAILURE() << "a missing file was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    const std::string notElf = ::testing::TempDir() + "/not_an_elf.elf";
    {
        std::FILE* f = std::fopen(notElf.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const char text[] = "this is not an executable at all, only text of some length";
        std::fwrite(text, 1, sizeof text, f);
        std::fclose(f);
    }
    try {
        sim::rp2040::Rp2040 chip(world, "chip", notElf);
        ADD_FAILURE() << "a text file was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("no ELF header"), std::string::npos) << e.what();
    }
}

} // namespace
