// A bare-metal test program on an instruction-level RP2040 in a world of its
// own, and its variables read by symbol.
#pragma once

#include "rp2040/rp2040.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

class ProgramBench : public ::testing::Test {
protected:
    // Loads programs/<name>.elf, built with the cross compiler.
    void load(const std::string& name) {
        chip = std::make_unique<sim::rp2040::Rp2040>(
            sim, "chip", std::string(RP2040_PROGRAMS) + "/" + name + ".elf");
    }

    void run(sim::Time duration) {
        ASSERT_TRUE(sim.runFor(duration)) << sim.error();
    }

    std::uint32_t address(const std::string& symbol) const {
        const auto a = chip->elf().address(symbol);
        EXPECT_TRUE(a.has_value()) << symbol;
        return a.value_or(0);
    }
    // A word of a variable, `index` words in.
    std::uint32_t word(const std::string& symbol, std::uint32_t index = 0) const {
        return chip->readWord(address(symbol) + 4 * index);
    }

    sim::Simulation sim;
    std::unique_ptr<sim::rp2040::Rp2040> chip;
};

// Loads a program, leaving the test when it is skipped.
#define LOAD_PROGRAM(name)                                                                         \
    do {                                                                                           \
        load(name);                                                                                \
        if (IsSkipped() || HasFatalFailure())                                                      \
            return;                                                                                \
    } while (0)
