// Boards on one backplane bus, built with the bench: each answers at its own
// address, and a bus pin that a board (or the world) pulls low as a plain
// line holds off or corrupts everybody's transfers.
#include "harness/bench.h"
#include "sdk/host_chip.h"

#include "FreeRTOS.h"
#include "hardware/gpio.h"
#include "hardware/i2c.h"
#include "hardware/timer.h"
#include "pico/i2c_slave.h"
#include "task.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {
namespace {

// What each board's slave heard, by chip.
std::map<Chip*, std::vector<std::string>> g_heard;

void logHandler(i2c_inst_t* i2c, i2c_slave_event_t event) {
    std::vector<std::string>& heard = g_heard[&HostChip::current()];
    char text[16];
    switch (event) {
    case I2C_SLAVE_RECEIVE:
        std::snprintf(text, sizeof text, "rx %02x", i2c_read_byte_raw(i2c));
        heard.push_back(text);
        break;
    case I2C_SLAVE_REQUEST:
        // Each board answers with its own address.
        i2c_write_byte_raw(i2c, static_cast<std::uint8_t>(
                                    HostChip::current().i2c0Block.read(I2cController::kSar)));
        heard.push_back("request");
        break;
    case I2C_SLAVE_FINISH:
        heard.push_back("finish");
        break;
    }
}

// A slave at the address in the parameter, set up as the firmware does it.
void slaveTask(void* address) {
    for (unsigned pin : {20u, 21u}) {
        gpio_init(pin);
        gpio_set_function(pin, GPIO_FUNC_I2C);
        gpio_set_pulls(pin, true, false);
    }
    i2c_init(i2c0, 100000);
    i2c_slave_init(i2c0, static_cast<std::uint8_t>(reinterpret_cast<std::uintptr_t>(address)),
                   &logHandler);
    for (;;)
        vTaskDelay(1000);
}

std::function<int()> slaveProgram(std::uint8_t address) {
    return [address] {
        xTaskCreateAffinitySet(&slaveTask, "Slave", 256,
                               reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), 29,
                               0x2, nullptr);
        vTaskStartScheduler();
        return 0;
    };
}

// Drives GPIO20 (SDA) low as an ordinary output from power-on, and lets it
// go 5.003 ms after power-on.
void sdaGrabberTask(void*) {
    gpio_init(20);
    gpio_put(20, false);
    gpio_set_dir(20, GPIO_OUT);
    vTaskDelay(5);
    busy_wait_us(3);
    gpio_set_dir(20, GPIO_IN);
    for (;;)
        vTaskDelay(1000);
}

int sdaGrabber() {
    xTaskCreateAffinitySet(&sdaGrabberTask, "Grabber", 256, nullptr, 2, 0x1, nullptr);
    vTaskStartScheduler();
    return 0;
}

class I2cBackplaneTest : public ::testing::Test {
protected:
    I2cBackplaneTest() { g_heard.clear(); }
    ~I2cBackplaneTest() override { g_heard.clear(); }

    Board& slave(unsigned slot) {
        return bench.insertProgram(slot, BoardKind::Bare,
                                   slaveProgram(static_cast<std::uint8_t>(0x27 - slot)));
    }
    std::vector<std::string>& heard(Board& b) { return g_heard[&b.chip()]; }

    Bench bench;
};

using Heard = std::vector<std::string>;

TEST_F(I2cBackplaneTest, EachBoardAnswersAtItsOwnAddressOnly) {
    Board& two = slave(2);
    Board& five = slave(5);
    bench.powerOn();
    ASSERT_TRUE(bench.run(milliseconds(1)));

    EXPECT_FALSE(bench.writeRegisters(0x25, 0x11, {}).nacked());
    EXPECT_FALSE(bench.writeRegisters(0x22, 0x22, {}).nacked());
    EXPECT_TRUE(bench.writeRegisters(0x23, 0x33, {}).nacked());
    EXPECT_EQ(bench.readRegisters(0x25, 0x01, 1), std::vector<std::uint8_t>{0x25});
    EXPECT_EQ(bench.readRegisters(0x22, 0x02, 1), std::vector<std::uint8_t>{0x22});
    ASSERT_TRUE(bench.run(microseconds(100)));

    EXPECT_EQ(heard(two), (Heard{"rx 11", "finish", "rx 01", "finish", "request", "finish"}));
    EXPECT_EQ(heard(five), (Heard{"rx 22", "finish", "rx 02", "finish", "request", "finish"}));

    // The analyser on the bus saw all five transfers, each at its STOP.
    std::vector<Record> bus = bench.recorder().select("i2c", "bus");
    ASSERT_EQ(bus.size(), 5u);
    EXPECT_EQ(bus[0].text(), "w1@0x25 0x11 (195us)");
    EXPECT_EQ(bus[2].text(), "w1@0x23 nack (105us)");
    EXPECT_EQ(bus[3].text(), "w1@0x25 0x01, r1@0x25 0x25 (390us)");
    EXPECT_EQ(bus[0].at, milliseconds(1) + microseconds(195));
}

TEST_F(I2cBackplaneTest, AGroundedClockLineHoldsOffTheStart) {
    slave(2);
    Board& other = slave(5);
    bench.powerOn();
    // A probe clip shorts the other board's SCL pin, that is the bus's SCL,
    // until 2.503 ms.
    other.chip().gpio.drive(21, Drive::Low);
    CallbackEvent unclip([&] { other.chip().gpio.drive(21, Drive::None); });
    bench.simulation().schedule(unclip, microseconds(2503));
    ASSERT_TRUE(bench.runUntil(milliseconds(1)));

    I2cTransferRecord r = bench.i2c({I2cMessage::write(0x25, {0x42})});
    // The master looks again every clock period from 1 ms on.
    EXPECT_EQ(r.start, microseconds(2510));
    EXPECT_FALSE(r.nacked());
    EXPECT_FALSE(r.stuck);
}

TEST_F(I2cBackplaneTest, ABoardDrivingSdaAsAnOutputBlocksTheBus) {
    slave(2);
    bench.insertProgram(6, BoardKind::Bare, &sdaGrabber);
    bench.powerOn();
    ASSERT_TRUE(bench.runUntil(milliseconds(1)));

    bench.host().setStretchLimit(milliseconds(2));
    I2cTransferRecord r = bench.i2c({I2cMessage::write(0x25, {0x42})});
    EXPECT_TRUE(r.stuck);
    EXPECT_EQ(r.end, milliseconds(3));
    EXPECT_TRUE(r.messages.empty());

    bench.host().setStretchLimit(seconds(1));
    r = bench.i2c({I2cMessage::write(0x25, {0x42})});
    EXPECT_FALSE(r.stuck);
    EXPECT_EQ(r.start, microseconds(5010));
    EXPECT_FALSE(r.nacked());
}

TEST_F(I2cBackplaneTest, SdaPulledLowDuringAReadReadsAsZeros) {
    Board& two = slave(2);
    Board& other = slave(6);
    bench.powerOn();
    ASSERT_TRUE(bench.runUntil(milliseconds(1)));
    // Low from 1.09 ms to 1.3 ms: after the address was taken (1.085 ms), over
    // the data byte (from 1.095 ms) and the master's NACK.
    CallbackEvent clip([&] { other.chip().gpio.drive(20, Drive::Low); });
    CallbackEvent unclip([&] { other.chip().gpio.drive(20, Drive::None); });
    bench.simulation().schedule(clip, microseconds(1090));
    bench.simulation().schedule(unclip, microseconds(1300));

    I2cTransferRecord r = bench.i2c({I2cMessage::readBytes(0x25, 1)});
    EXPECT_EQ(r.messages[0].bytes, std::vector<std::uint8_t>{0x00});
    // The board did answer; the line ate its ones. The master's NACK read
    // as an acknowledge, so the block asked for one more byte.
    ASSERT_TRUE(bench.run(microseconds(100)));
    EXPECT_EQ(heard(two), (Heard{"request", "request", "finish"}));
}

} // namespace
} // namespace sim
