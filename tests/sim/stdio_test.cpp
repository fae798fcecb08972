// Console capture: what the firmware prints becomes timestamped lines of the
// chip that printed it; outside any chip the text goes to standard output.
#include "chip_bench.h"

#include "pico/stdlib.h"

#include <cstdio>

extern "C" int __wrap_printf(const char* format, ...);
extern "C" int __wrap_puts(const char* s);
extern "C" int __wrap_putchar(int c);

namespace {

using sim::milliseconds;

class StdioTest : public ChipBench {};

TEST_F(StdioTest, LinesAreCapturedWithTheTimeOfTheirNewline) {
    bool driver = true;
    boot([this, &driver] {
        driver = stdio_init_all();
        spawn("Print", 2, 0x1, [] {
            __wrap_printf("temp1: %u, ", 2525u);
            vTaskDelay(2);
            __wrap_printf("temp2: %u\n", 32772u);
            __wrap_puts("[WARN] Unbekanntes event: 5");
            __wrap_putchar('x');
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(3));
    EXPECT_FALSE(driver);
    ASSERT_EQ(chip.console.lines().size(), 2u);
    EXPECT_EQ(chip.console.lines()[0].at, milliseconds(2));
    EXPECT_EQ(chip.console.lines()[0].text, "temp1: 2525, temp2: 32772");
    EXPECT_EQ(chip.console.lines()[1].text, "[WARN] Unbekanntes event: 5");
    EXPECT_EQ(chip.console.pending(), "x");
    EXPECT_EQ(chip.console.takeNew().size(), 2u);
    EXPECT_TRUE(chip.console.takeNew().empty());
}

TEST_F(StdioTest, AResetCutsTheLineBeingWritten) {
    boot([this] {
        spawn("Print", 2, 0x1, [] {
            if (sim::HostChip::current().resets() == 0) {
                __wrap_printf("half a li");
                vTaskDelay(1);
                sim::HostChip::current().reset("test");
            }
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(milliseconds(2));
    ASSERT_EQ(chip.console.lines().size(), 1u);
    EXPECT_EQ(chip.console.lines()[0].text, "half a li");
    EXPECT_EQ(chip.console.lines()[0].at, milliseconds(1));
}

TEST(StdioOutsideTest, TextOutsideAnyChipGoesToStandardOutput) {
    testing::internal::CaptureStdout();
    __wrap_printf("%s %d\n", "host", 7);
    __wrap_puts("line");
    __wrap_putchar('!');
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "host 7\nline\n!");
}

} // namespace
