// IO bank 0 and the pads as the bus fabric reaches them: reset values, the
// function select and overrides acting on the pin, the pad bits, the raw
// interrupt latches with write-1-to-clear, and the interrupt line per target.
#include "chip_bench.h"
#include "chip/gpio_access.h"

namespace {

using sim::Drive;
using sim::Gpio;
using sim::RegisterBlock;
namespace gpiofn = sim::gpiofn;

constexpr unsigned kIoIrqBank0 = 13;

std::uint32_t ctrlOf(unsigned pin) {
    return 8 * pin + 4;
}
std::uint32_t statusOf(unsigned pin) {
    return 8 * pin;
}
std::uint32_t padOf(unsigned pin) {
    return Gpio::kPadGpio0 + 4 * pin;
}

class GpioRegistersTest : public ChipBench {
protected:
    RegisterBlock& bank = chip.gpio.ioBank();
    RegisterBlock& pads = chip.gpio.pads();
};

TEST_F(GpioRegistersTest, ResetValues) {
    struct Reg {
        RegisterBlock* block;
        std::uint32_t offset;
        std::uint32_t reset;
    };
    const Reg table[] = {
        {&bank, statusOf(0), 0},
        {&bank, ctrlOf(0), 0x1f},
        {&bank, ctrlOf(29), 0x1f},
        // Every pin reads low: the level-low event of all eight pins.
        {&bank, Gpio::kIntr0, 0x11111111},
        {&bank, Gpio::kIntr0 + 12, 0x00111111},
        {&bank, Gpio::kProc0Inte0, 0},
        {&bank, Gpio::kProc1Inte0 + Gpio::kInteToIntf, 0},
        {&bank, Gpio::kDormantWakeInte0 + Gpio::kInteToInts, 0},
        {&pads, Gpio::kVoltageSelect, 0},
        {&pads, padOf(0), 0x56},
        {&pads, padOf(29), 0x56},
        {&pads, Gpio::kPadSwclk, 0xda},
        {&pads, Gpio::kPadSwd, 0x5a},
    };
    for (const Reg& r : table) {
        SCOPED_TRACE(r.offset);
        EXPECT_EQ(r.block->read(r.offset), r.reset);
    }
    EXPECT_EQ(Gpio::kPadReset, 0x56);
}

TEST_F(GpioRegistersTest, FunctionSelectAndOverridesDecideWhatTheChipDrives) {
    // SIO drives GPIO7 high with its output enabled, then the overrides.
    bank.write(ctrlOf(7), gpiofn::kSio);
    EXPECT_EQ(chip.gpio.function(7), gpiofn::kSio);
    sim::bank0::setOutputEnable(chip.gpio, 1u << 7);
    sim::bank0::setOut(chip.gpio, 1u << 7);
    struct Case {
        std::uint32_t outOver, oeOver;
        Drive drive;
        std::uint32_t status;
    };
    const std::uint32_t fromPeri = Gpio::kStatusOutFromPeri | Gpio::kStatusOeFromPeri;
    const std::uint32_t in = Gpio::kStatusInFromPad | Gpio::kStatusInToPeri |
                             Gpio::kStatusIrqFromPad | Gpio::kStatusIrqToProc;
    const Case cases[] = {
        {0, 0, Drive::High, fromPeri | Gpio::kStatusOutToPad | Gpio::kStatusOeToPad | in},
        {1, 0, Drive::Low, fromPeri | Gpio::kStatusOeToPad},
        {2, 0, Drive::Low, fromPeri | Gpio::kStatusOeToPad},
        {3, 0, Drive::High, fromPeri | Gpio::kStatusOutToPad | Gpio::kStatusOeToPad | in},
        {0, 1, Drive::None, fromPeri | Gpio::kStatusOutToPad},
        {0, 2, Drive::None, fromPeri | Gpio::kStatusOutToPad},
        {2, 3, Drive::Low, fromPeri | Gpio::kStatusOeToPad},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "outover " << c.outOver << " oeover " << c.oeOver);
        const std::uint32_t ctrl =
            gpiofn::kSio | c.outOver << Gpio::kOutOverShift | c.oeOver << Gpio::kOeOverShift;
        bank.write(ctrlOf(7), ctrl);
        EXPECT_EQ(bank.read(ctrlOf(7)), ctrl);
        EXPECT_EQ(chip.gpio.chipDrive(7), c.drive);
        EXPECT_EQ(bank.read(statusOf(7)), c.status);
    }
    // Writing CTRL as gpio_set_function does clears the overrides.
    sim::bank0::setFunction(chip.gpio, 7, gpiofn::kSio);
    EXPECT_EQ(bank.read(ctrlOf(7)), gpiofn::kSio);
    EXPECT_TRUE(chip.gpio.level(7));
}

TEST_F(GpioRegistersTest, PadBitsActOnThePin) {
    bank.write(ctrlOf(3), gpiofn::kSio);
    sim::bank0::setOutputEnable(chip.gpio, 1u << 3);
    sim::bank0::setOut(chip.gpio, 1u << 3);
    ASSERT_TRUE(chip.gpio.level(3));
    // Output disable: the pad lets go and the pull-down takes the pin.
    pads.write(padOf(3), Gpio::kPadReset | Gpio::kPadOutputDisable);
    EXPECT_EQ(chip.gpio.chipDrive(3), Drive::None);
    EXPECT_FALSE(chip.gpio.level(3));
    // Pull-up instead of pull-down.
    pads.write(padOf(3), Gpio::kPadInputEnable | Gpio::kPadPullUp | Gpio::kPadOutputDisable);
    EXPECT_TRUE(chip.gpio.pulledUp(3));
    EXPECT_FALSE(chip.gpio.pulledDown(3));
    EXPECT_TRUE(chip.gpio.level(3));
    EXPECT_EQ(chip.gpio.in() & (1u << 3), 1u << 3);
    // Input buffer off: the level is there, the input reads 0.
    pads.write(padOf(3), Gpio::kPadPullUp | Gpio::kPadOutputDisable);
    EXPECT_TRUE(chip.gpio.level(3));
    EXPECT_EQ(chip.gpio.in() & (1u << 3), 0u);
    EXPECT_EQ(bank.read(statusOf(3)) & Gpio::kStatusInFromPad, 0u);
    // The SDK layer's function select turns the input on and the output
    // disable off; its pull set-up leaves the other pad bits alone.
    sim::bank0::setFunction(chip.gpio, 3, gpiofn::kSio);
    sim::bank0::setPulls(chip.gpio, 3, false, true);
    EXPECT_EQ(pads.read(padOf(3)), std::uint32_t{Gpio::kPadInputEnable | Gpio::kPadPullDown});
    EXPECT_TRUE(chip.gpio.level(3));
    // Stored only.
    pads.write(Gpio::kVoltageSelect, 0xffffffff);
    EXPECT_EQ(pads.read(Gpio::kVoltageSelect), 1u);
    pads.write(Gpio::kPadSwd, 0x1ff);
    EXPECT_EQ(pads.read(Gpio::kPadSwd), 0xffu);
}

TEST_F(GpioRegistersTest, EdgesLatchUntilWrittenOneAndRaiseTheEnabledCore) {
    const std::uint32_t intr0 = Gpio::kIntr0;
    const unsigned shift = 4 * 5; // GPIO5 in INTR0
    chip.gpio.drive(5, Drive::High);
    EXPECT_EQ((bank.read(intr0) >> shift) & 0xF,
              sim::gpioirq::kLevelHigh | sim::gpioirq::kEdgeRise);
    chip.gpio.drive(5, Drive::Low);
    EXPECT_EQ((bank.read(intr0) >> shift) & 0xF,
              sim::gpioirq::kLevelLow | sim::gpioirq::kEdgeRise | sim::gpioirq::kEdgeFall);

    // Core 1 enables the rising edge: only its line rises.
    bank.write(Gpio::kProc1Inte0, sim::gpioirq::kEdgeRise << shift);
    EXPECT_EQ(chip.gpio.irqEnabled(1, 5), sim::gpioirq::kEdgeRise);
    EXPECT_EQ(bank.read(Gpio::kProc1Inte0 + Gpio::kInteToInts), sim::gpioirq::kEdgeRise << shift);
    EXPECT_EQ(bank.read(Gpio::kProc0Inte0 + Gpio::kInteToInts), 0u);
    EXPECT_TRUE(chip.irqLine(kIoIrqBank0));

    // Writing 1 to a level bit changes nothing; to an edge bit clears it.
    bank.write(intr0, (sim::gpioirq::kLevelLow | sim::gpioirq::kEdgeFall) << shift);
    EXPECT_EQ((bank.read(intr0) >> shift) & 0xF, sim::gpioirq::kLevelLow | sim::gpioirq::kEdgeRise);
    EXPECT_TRUE(chip.irqLine(kIoIrqBank0));
    bank.write(intr0, sim::gpioirq::kEdgeRise << shift);
    EXPECT_EQ((bank.read(intr0) >> shift) & 0xF, sim::gpioirq::kLevelLow);
    EXPECT_FALSE(chip.irqLine(kIoIrqBank0));

    // A force raises the line without an event.
    bank.write(Gpio::kProc0Inte0 + Gpio::kInteToIntf, sim::gpioirq::kEdgeFall << shift);
    EXPECT_EQ(bank.read(Gpio::kProc0Inte0 + Gpio::kInteToInts), sim::gpioirq::kEdgeFall << shift);
    EXPECT_TRUE(chip.irqLine(kIoIrqBank0));
    bank.write(Gpio::kProc0Inte0 + Gpio::kInteToIntf, 0);
    EXPECT_FALSE(chip.irqLine(kIoIrqBank0));

    // Dormant wake keeps its enables and status but raises no processor line.
    bank.write(Gpio::kDormantWakeInte0, sim::gpioirq::kLevelLow << shift);
    EXPECT_EQ(bank.read(Gpio::kDormantWakeInte0 + Gpio::kInteToInts),
              sim::gpioirq::kLevelLow << shift);
    EXPECT_FALSE(chip.irqLine(kIoIrqBank0));
}

TEST_F(GpioRegistersTest, InputAndInterruptOverridesActOnTheirOwnPaths) {
    // GPIO9 reads low; the input override inverts what SIO sees only.
    bank.write(ctrlOf(9), gpiofn::kSio | 1u << Gpio::kInOverShift);
    EXPECT_EQ(chip.gpio.in() & (1u << 9), 1u << 9);
    EXPECT_EQ(chip.gpio.rawEvents(9) & 3u, sim::gpioirq::kLevelLow);
    // The interrupt override forces the interrupt input high: a rising edge.
    bank.write(ctrlOf(9), gpiofn::kSio | 3u << Gpio::kIrqOverShift);
    EXPECT_EQ(chip.gpio.in() & (1u << 9), 0u);
    EXPECT_EQ(chip.gpio.rawEvents(9), sim::gpioirq::kLevelHigh | sim::gpioirq::kEdgeRise);
    EXPECT_EQ(bank.read(statusOf(9)) & (Gpio::kStatusIrqFromPad | Gpio::kStatusIrqToProc),
              Gpio::kStatusIrqToProc);
}

} // namespace
