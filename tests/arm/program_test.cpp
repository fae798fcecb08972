// Whole programs on the core: compiled C, exception scenarios in assembly.
#include "test_machine.h"

#include <gtest/gtest.h>

namespace armtest {
namespace {

TEST(Programs, CompiledCodeComputesAndPrints) {
    TestMachine m;
    ASSERT_TRUE(m.loadProgram(programPath("checks")));
    m.resetAll();
    m.run(5'000'000);
    ASSERT_TRUE(m.exited()) << m.core().stopInfo().reason;
    EXPECT_EQ(m.exitCode(), 0u);
    EXPECT_EQ(m.output(), "quotient -10309278\n");
}

} // namespace
} // namespace armtest
