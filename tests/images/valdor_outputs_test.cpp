// valdor's twelve digital outputs as the host sets them through 0x50/0x51:
// output channel i on GPIO 11 - i, applied the moment the write ends, and
// no other pin disturbed.
#include "chip/gpio_access.h"
#include "valdor_bench.h"

namespace valdor_test {
namespace {

class ValdorOutputs : public ValdorTest {
protected:
    // A host that has talked once: the start-up LED has handed GPIO1 back.
    void startWithHost() {
        runUntil(milliseconds(5));
        heartbeat();
        ASSERT_EQ(function(kStartupLed), sim::gpiofn::kSio);
    }
};

TEST_F(ValdorOutputs, AllLowAfterStart) {
    runUntil(kSetUp + kStartUp);
    for (unsigned pin = 0; pin < 12; ++pin) {
        EXPECT_TRUE(chip().gpio.state(pin).outputEnabled) << pin;
        if (pin != kStartupLed) { // the start-up LED fades
            EXPECT_EQ(function(pin), sim::gpiofn::kSio) << pin;
        }
    }
    EXPECT_EQ(function(kStartupLed), sim::gpiofn::kPwm);
    EXPECT_EQ(outputLevels() & ~0x2u, 0u);
}

TEST_F(ValdorOutputs, ChannelIDrivesGpio11MinusIWhenTheWriteEnds) {
    startWithHost();
    for (unsigned i = 0; i < 12; ++i) {
        const sim::I2cTransferRecord r = writeWord(0x50, static_cast<std::uint16_t>(1u << i));
        EXPECT_EQ(outputLevels(), 1u << (11 - i)) << "channel " << i;
        const auto changes = pinChanges(11 - i, r.start);
        ASSERT_EQ(changes.size(), 1u) << "channel " << i;
        EXPECT_TRUE(sameTimeline(changes, {{r.end, true}}, 0)) << "channel " << i;
    }
}

TEST_F(ValdorOutputs, BitsTwelveToFifteenDriveNothing) {
    startWithHost();
    writeWord(0x50, 0xF000);
    EXPECT_EQ(outputLevels(), 0u);
    writeWord(0x50, 0xFFFF);
    EXPECT_EQ(outputLevels(), 0xFFFu);
    writeWord(0x50, 0xF555); // channels 0, 2, .., 10: GPIO11, 9, .., 1
    EXPECT_EQ(outputLevels(), 0xAAAu);
}

TEST_F(ValdorOutputs, LowByteAloneTakesTheStoredHighByte) {
    startWithHost();
    write(0x51, {0x08}); // channel 11: GPIO0
    EXPECT_EQ(outputLevels(), 0x001u);
    const sim::I2cTransferRecord r = write(0x50, {0x81}); // channels 0 and 7
    EXPECT_EQ(outputLevels(), 0x811u);
    EXPECT_TRUE(pinChanges(0, r.start).empty()); // GPIO0 held its level
    EXPECT_EQ(read(0x50, 3), (std::vector<std::uint8_t>{0x81, 0x08, 0x00}));
}

TEST_F(ValdorOutputs, WritingOnly0x52ReappliesTheStoredWord) {
    startWithHost();
    writeWord(0x50, 0x0024); // channels 2 and 5: GPIO9 and GPIO6
    ASSERT_EQ(outputLevels(), 0x240u);
    // A debugger clears GPIO6's output latch behind the firmware's back.
    sim::bank0::clearOut(chip().gpio, 1u << 6);
    ASSERT_EQ(outputLevels(), 0x200u);
    const sim::I2cTransferRecord r = write(0x52, {0x00});
    EXPECT_EQ(outputLevels(), 0x240u);
    // From just after the debugger's clear, which may share the write's start.
    EXPECT_TRUE(sameTimeline(pinChanges(6, r.start + sim::nanoseconds(1)), {{r.end, true}}, 0));
    EXPECT_EQ(read(0x50, 3), (std::vector<std::uint8_t>{0x24, 0x00, 0x00}));
}

// The update touches the output pins only: the input-change line, the
// onboard LED, the converter's chip select and the bus keep their levels.
TEST_F(ValdorOutputs, OtherPinsKeepTheirLevels) {
    startWithHost();
    acknowledgeInputs();
    ASSERT_TRUE(level(kChangeLine)); // input-change line released
    ASSERT_TRUE(level(kDacSelect));  // converter not selected
    std::vector<bool> before;
    for (unsigned pin = 12; pin < sim::kGpioCount; ++pin)
        before.push_back(level(pin));
    const Time from = now();
    for (std::uint16_t word : {0x0FFF, 0x0000, 0x0A5A}) {
        const sim::I2cTransferRecord r = writeWord(0x50, word);
        for (unsigned pin = 12; pin < sim::kGpioCount; ++pin) {
            EXPECT_EQ(level(pin), before[pin - 12]) << "GPIO" << pin << " after " << word;
            for (const auto& change : pinChanges(pin, from))
                EXPECT_NE(change.first, r.end) << "GPIO" << pin << " after " << word;
        }
    }
}

} // namespace
} // namespace valdor_test
