// The image loader: every chip and every boot runs its own copy of an image.
#include "chip_bench.h"

#include <stdexcept>

namespace {

using sim::milliseconds;

TEST(FirmwareImageTest, TwoChipsRunSeparateCopies) {
    sim::Simulation sim;
    sim::HostChip a(sim, "a");
    sim::HostChip b(sim, "b");
    a.loadImage(SIM_TEST_IMAGE);
    b.loadImage(SIM_TEST_IMAGE);
    a.powerOn();
    b.powerOn();
    ASSERT_TRUE(sim.runFor(milliseconds(1))) << sim.error();
    ASSERT_EQ(a.console.lines().size(), 1u);
    ASSERT_EQ(b.console.lines().size(), 1u);
    EXPECT_EQ(a.console.lines()[0].text, "boot 42");
    EXPECT_EQ(b.console.lines()[0].text, "boot 42");
    EXPECT_NE(a.image()->symbol("testImageBoots"), b.image()->symbol("testImageBoots"));
}

TEST(FirmwareImageTest, AMissingImageIsReportedAtLoad) {
    sim::Simulation sim;
    sim::HostChip chip(sim, "board");
    EXPECT_THROW(chip.loadImage("/nonexistent/image.so"), std::runtime_error);
}

} // namespace
