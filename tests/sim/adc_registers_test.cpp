// The ADC as the bus fabric reaches it: READY exactly 2 us
// after START_ONCE with the input sampled at the start, round robin, free
// running with and without DIV pacing, the FIFO with its flags, threshold
// and interrupt, the SDK layer's conversion on the same state, and what a pad
// left as it comes out of reset does to a reading.
#include "chip/gpio_access.h"
#include "chip_bench.h"
#include "hardware/adc.h"

#include "world/analog_source.h"

namespace {

using sim::microseconds;
using A = sim::Adc;

// A pad as adc_gpio_init leaves it: function NULL, pulls and input off.
constexpr std::uint32_t kPadForAdc = sim::Gpio::kPadDrive4mA | sim::Gpio::kPadSchmitt;

class AdcRegistersTest : public ChipBench {
protected:
    AdcRegistersTest() {
        for (unsigned input = 0; input < 4; ++input)
            setPad(input, kPadForAdc);
    }
    void setPad(unsigned input, std::uint32_t pad) {
        chip.gpio.pads().write(sim::Gpio::kPadGpio0 + 4 * (A::kFirstPin + input), pad);
    }
    void runTo(sim::Time t) { ASSERT_TRUE(sim.runUntil(t)); }
    std::uint32_t ainsel() { return (adc.read(A::kCs) >> A::kCsAinselShift) & 7u; }
    bool ready() { return (adc.read(A::kCs) & A::kCsReady) != 0; }
    std::uint32_t level() { return (adc.read(A::kFcs) >> A::kFcsLevelShift) & 0xFu; }

    sim::AnalogSource analog{chip};
    sim::RegisterBlock& adc = chip.adc;
};

TEST_F(AdcRegistersTest, StartOnceSamplesAtTheStartAndIsReadyTwoMicrosecondsLater) {
    analog.set(1, 1234);
    adc.write(A::kCs, A::kCsEn);
    EXPECT_TRUE(ready()); // enabled and idle
    runTo(1000);
    adc.write(A::kCs, A::kCsEn | A::kCsStartOnce | 1u << A::kCsAinselShift);
    EXPECT_FALSE(ready());
    EXPECT_EQ(adc.read(A::kCs) & A::kCsStartOnce, 0u); // a strobe
    runTo(1500);
    analog.set(1, 4000); // too late for this conversion
    runTo(2999);
    EXPECT_FALSE(ready());
    EXPECT_EQ(adc.read(A::kResult), 0u);
    runTo(3000);
    EXPECT_TRUE(ready());
    EXPECT_EQ(adc.read(A::kResult), 1234u);
    // A disabled ADC starts nothing.
    adc.write(A::kCs, A::kCsStartOnce);
    EXPECT_FALSE(ready());
    EXPECT_FALSE(chip.adc.converting());
}

TEST_F(AdcRegistersTest, RoundRobinMovesTheSelectionAfterEachConversion) {
    analog.set(1, 100);
    analog.set(2, 200);
    adc.write(A::kCs,
              A::kCsEn | A::kCsTsEn | 1u << A::kCsAinselShift | 0b10110u << A::kCsRrobinShift);
    const struct {
        std::uint32_t input, result;
    } steps[] = {{1, 100}, {2, 200}, {4, A::kTemperatureReading}, {1, 100}};
    sim::Time t = 0;
    for (const auto& s : steps) {
        EXPECT_EQ(ainsel(), s.input);
        adc.write(A::kCs, adc.peek(A::kCs) | A::kCsStartOnce);
        EXPECT_EQ(ainsel(), s.input); // moves on only as the conversion ends
        t += microseconds(2);
        runTo(t);
        EXPECT_EQ(adc.read(A::kResult), s.result);
    }
}

TEST_F(AdcRegistersTest, FreeRunningFillsTheFifoUntilItOverflows) {
    analog.set(0, 0xABC);
    adc.write(A::kInte, 1);
    adc.write(A::kFcs, A::kFcsEn | 2u << A::kFcsThreshShift);
    adc.write(A::kCs, A::kCsEn | A::kCsStartMany);
    const struct {
        sim::Time at;
        std::uint32_t level;
        bool irq;
    } steps[] = {{1999, 0, false}, {2000, 1, false}, {3999, 1, false},
                 {4000, 2, true},  {8000, 4, true},  {10000, 4, true}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.at);
        runTo(s.at);
        EXPECT_EQ(level(), s.level);
        EXPECT_EQ(chip.irqLine(A::kAdcIrqFifo), s.irq);
        EXPECT_EQ(adc.read(A::kIntr), s.irq ? 1u : 0u);
    }
    // The fifth result found the FIFO full.
    EXPECT_EQ(adc.read(A::kFcs) & (A::kFcsFull | A::kFcsOver | A::kFcsEmpty),
              A::kFcsFull | A::kFcsOver);
    adc.write(A::kCs, A::kCsEn); // stop
    runTo(20000);
    EXPECT_EQ(adc.peek(A::kFifo), 0xABCu);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(adc.read(A::kFifo), 0xABCu);
    EXPECT_FALSE(chip.irqLine(A::kAdcIrqFifo));
    EXPECT_EQ(adc.read(A::kFifo), 0u);
    EXPECT_EQ(adc.read(A::kFcs) & (A::kFcsUnder | A::kFcsOver | A::kFcsEmpty),
              A::kFcsUnder | A::kFcsOver | A::kFcsEmpty);
    adc.write(A::kFcs, A::kFcsUnder | A::kFcsOver);
    EXPECT_EQ(adc.read(A::kFcs) & (A::kFcsUnder | A::kFcsOver), 0u);
    // A forced interrupt, enabled or not.
    adc.write(A::kIntf, 1);
    EXPECT_TRUE(chip.irqLine(A::kAdcIrqFifo));
    EXPECT_EQ(adc.read(A::kInts), 1u);
}

TEST_F(AdcRegistersTest, DivPacesFreeRunningConversionsAndShiftGivesEightBits) {
    analog.set(0, 0xABC);
    adc.write(A::kFcs, A::kFcsEn | A::kFcsShift);
    // 1 + 479 cycles of 48 MHz: one conversion every 10 us.
    adc.write(A::kDiv, 479u << 8);
    EXPECT_EQ(adc.read(A::kDiv), 479u << 8);
    adc.write(A::kCs, A::kCsEn | A::kCsStartMany);
    const struct {
        sim::Time at;
        std::uint32_t level;
    } steps[] = {{2000, 1}, {9999, 1}, {11999, 1}, {12000, 2}, {22000, 3}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.at);
        runTo(s.at);
        EXPECT_EQ(level(), s.level);
    }
    EXPECT_EQ(adc.read(A::kFifo), 0xABu);
}

TEST_F(AdcRegistersTest, TheSdkLayersConversionRunsOnTheSameRegisters) {
    analog.set(3, 777);
    boot([this] {
        spawn("Adc", 2, 0x1, [this] {
            adc_init();
            adc_select_input(3);
            note(std::to_string(adc_read()));
            for (;;)
                vTaskDelay(1000);
        });
    });
    run(sim::milliseconds(1));
    EXPECT_EQ(log, (Lines{"2us 777"}));
    EXPECT_EQ(adc.read(A::kResult), 777u);
    EXPECT_EQ(ainsel(), 3u);
    EXPECT_TRUE(ready());
}

TEST_F(AdcRegistersTest, APadNotPreparedForTheAdcBendsTheReading) {
    using G = sim::Gpio;
    // 1.65 V behind the source's 10 kOhm, against 50 kOhm pulls and 1 uA of
    // input leakage: below, above, or slightly below the prepared reading.
    const struct {
        std::uint32_t pad;
        int lowest, highest;
    } cases[] = {
        {G::kPadReset, 1600, 1800},
        {G::kPadInputEnable | G::kPadPullUp, 2300, 2500},
        {G::kPadInputEnable, 2030, 2043},
        {kPadForAdc, 2048, 2048},
    };
    analog.set(1, 2048);
    adc.write(A::kCs, A::kCsEn | 1u << A::kCsAinselShift);
    const auto convert = [&] {
        adc.write(A::kCs, adc.peek(A::kCs) | A::kCsStartOnce);
        runTo(sim.now() + microseconds(2));
        return static_cast<int>(adc.read(A::kResult));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pad);
        setPad(1, c.pad);
        const int reading = convert();
        EXPECT_GE(reading, c.lowest);
        EXPECT_LE(reading, c.highest);
    }
    // A pad output driving the pin wins over the source.
    sim::bank0::setFunction(chip.gpio, A::kFirstPin + 1, sim::gpiofn::kSio);
    sim::bank0::setOutputEnable(chip.gpio, 1u << (A::kFirstPin + 1));
    sim::bank0::setOut(chip.gpio, 1u << (A::kFirstPin + 1));
    EXPECT_EQ(convert(), A::kFullScale);
}

} // namespace
