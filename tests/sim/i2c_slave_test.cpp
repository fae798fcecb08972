// The SDK's I2C slave layer on a simulated chip: a small program sets up
// I2C0 as the firmware does (pins, i2c_init, i2c_slave_init from a task on
// core 1) and logs every event its handler receives, with the virtual time
// counted from the START of the transfer under test.
#include "chip/gpio_access.h"
#include "sdk/host_chip.h"
#include "engine/simulation.h"
#include "world/host_master.h"
#include "world/i2c_bus.h"

#include "FreeRTOS.h"
#include "hardware/gpio.h"
#include "hardware/i2c.h"
#include "pico/i2c_slave.h"
#include "task.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace sim {
namespace {

constexpr std::uint8_t kAddress = 0x27;
constexpr unsigned kSda = 20;
constexpr unsigned kScl = 21;

class I2cSlaveTest : public ::testing::Test {
protected:
    I2cSlaveTest() {
        bench = this;
        chip.i2c0Block.connect(bus, kSda, kScl);
        chip.setMain(&I2cSlaveTest::program);
    }
    ~I2cSlaveTest() override { bench = nullptr; }

    // Boots the chip with the given interrupt latency on core 1 and lets
    // the slave task set up.
    void boot(Time latency = 0) {
        chip.setIrqLatency(1, latency);
        chip.powerOn();
        sim.runFor(milliseconds(5));
        ASSERT_FALSE(sim.stopped()) << sim.error();
    }

    I2cTransferRecord transfer(std::vector<I2cMessage> messages) {
        start = std::max(sim.now(), lastEnd + microseconds(5));
        I2cTransferRecord r = host.transfer(std::move(messages));
        EXPECT_EQ(r.start, start);
        lastEnd = r.end;
        return r;
    }

    static int program() {
        xTaskCreateAffinitySet(&I2cSlaveTest::slaveTask, "Slave", 256, nullptr, 29, 0x2, nullptr);
        vTaskStartScheduler();
        return 0;
    }

    static void slaveTask(void*) {
        for (unsigned pin : {kSda, kScl}) {
            gpio_init(pin);
            gpio_set_function(pin, GPIO_FUNC_I2C);
            gpio_set_pulls(pin, true, false);
        }
        i2c_init(i2c0, 100000);
        i2c_slave_init(i2c0, kAddress, &I2cSlaveTest::handler);
        for (;;)
            vTaskDelay(1000);
    }

    static void handler(i2c_inst_t* i2c, i2c_slave_event_t event) {
        I2cSlaveTest& b = *bench;
        char text[48];
        std::uint64_t t = (b.sim.now() - b.start) / 1000;
        switch (event) {
        case I2C_SLAVE_RECEIVE:
            std::snprintf(text, sizeof text, "%llu rx %02x", static_cast<unsigned long long>(t),
                          i2c_read_byte_raw(i2c));
            break;
        case I2C_SLAVE_REQUEST:
            i2c_write_byte_raw(i2c, b.nextReply++);
            std::snprintf(text, sizeof text, "%llu request", static_cast<unsigned long long>(t));
            break;
        case I2C_SLAVE_FINISH:
            std::snprintf(text, sizeof text, "%llu finish", static_cast<unsigned long long>(t));
            break;
        }
        b.events.push_back(text);
        b.cores.push_back(b.chip.currentCore());
    }

    static I2cSlaveTest* bench;

    Simulation sim;
    HostChip chip{sim, "board"};
    I2cBus bus{sim};
    HostMaster host{sim, bus};
    Time start = 0;
    Time lastEnd = 0;
    std::uint8_t nextReply = 0xa0;
    std::vector<std::string> events;
    std::vector<int> cores;
};

I2cSlaveTest* I2cSlaveTest::bench = nullptr;

using Events = std::vector<std::string>;

TEST_F(I2cSlaveTest, PromptHandlerGetsEachByteBeforeTheFinish) {
    boot();
    I2cTransferRecord r = transfer({I2cMessage::write(kAddress, {0x10, 0x55})});
    EXPECT_EQ(r.messages[0].acked, (std::vector<bool>{true, true}));
    sim.runFor(microseconds(100));
    EXPECT_EQ(events, (Events{"175 rx 10", "265 rx 55", "285 finish"}));
}

// The slave layer reports the end of a transfer before the received byte
// within one interrupt entry. With 30 us of latency the STOP (at 285 us) is
// already latched when the interrupt for the last byte (in at 265 us) is
// taken at 295 us: FINISH comes first, the byte after it.
TEST_F(I2cSlaveTest, LateHandlerSeesFinishBeforeTheLastByte) {
    boot(microseconds(30));
    transfer({I2cMessage::write(kAddress, {0x10, 0x55})});
    sim.runFor(microseconds(100));
    EXPECT_EQ(events, (Events{"205 rx 10", "295 finish", "295 rx 55"}));
}

TEST_F(I2cSlaveTest, ReadIsStretchedUntilTheHandlerAnswers) {
    boot(microseconds(25));
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 2)});
    EXPECT_EQ(r.messages[0].bytes, (std::vector<std::uint8_t>{0xa0, 0xa1}));
    // Asked as the address is acknowledged (85 us) and as the master's
    // acknowledge is sampled; each answer comes 25 us late and SCL goes
    // 0.792 us after it: 5 + 80 + 25.792 + 80 + 25.792 + 80 + 5 + 10 (STOP).
    EXPECT_EQ(r.end - r.start, microseconds(311) + nanoseconds(584));
    sim.runFor(microseconds(100));
    EXPECT_EQ(events, (Events{"110 request", "215 request", "336 finish"}));
}

TEST_F(I2cSlaveTest, RepeatedStartFinishesTheWriteBeforeTheRead) {
    boot();
    I2cTransferRecord r =
        transfer({I2cMessage::write(kAddress, {0x12}), I2cMessage::readBytes(kAddress, 1)});
    EXPECT_EQ(r.messages[1].bytes, std::vector<std::uint8_t>{0xa0});
    sim.runFor(microseconds(100));
    EXPECT_EQ(events, (Events{"175 rx 12", "195 finish", "280 request", "390 finish"}));
}

TEST_F(I2cSlaveTest, HandlerRunsOnTheCoreThatInstalledIt) {
    boot();
    EXPECT_TRUE(chip.irqEnabled(1, I2cController::kI2c0Irq));
    EXPECT_FALSE(chip.irqEnabled(0, I2cController::kI2c0Irq));
    transfer({I2cMessage::write(kAddress, {0x01})});
    sim.runFor(microseconds(100));
    ASSERT_EQ(cores.size(), 2u);
    EXPECT_EQ(cores, (std::vector<int>{1, 1}));
}

TEST_F(I2cSlaveTest, OtherAddressesNeverReachTheHandler) {
    boot();
    I2cTransferRecord r = transfer({I2cMessage::write(0x26, {0x01, 0x02})});
    EXPECT_FALSE(r.messages[0].addressAcked);
    r = transfer({I2cMessage::readBytes(0x28, 1)});
    EXPECT_FALSE(r.messages[0].addressAcked);
    sim.runFor(microseconds(100));
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(sim.stopped()) << sim.error();
}

TEST_F(I2cSlaveTest, APinHandedToSioIsLostToTheBus) {
    boot();
    sim::bank0::setFunction(chip.gpio, kScl, gpiofn::kSio);
    I2cTransferRecord r = transfer({I2cMessage::write(kAddress, {0x01})});
    EXPECT_FALSE(r.messages[0].addressAcked);
    sim::bank0::setFunction(chip.gpio, kScl, gpiofn::kI2c);
    r = transfer({I2cMessage::write(kAddress, {0x01})});
    EXPECT_TRUE(r.messages[0].addressAcked);
}

// A reset takes the block with it: SCL held for a read request is let go,
// and nobody drives SDA for the rest of the byte.
TEST_F(I2cSlaveTest, ResetDuringAStretchedReadLetsTheBusGo) {
    boot(milliseconds(1));
    CallbackEvent watchdog([this] { chip.reset("watchdog"); });
    sim.schedule(watchdog, sim.now() + microseconds(500));
    I2cTransferRecord r = transfer({I2cMessage::readBytes(kAddress, 1)});
    EXPECT_EQ(r.messages[0].bytes, std::vector<std::uint8_t>{0xff});
    EXPECT_EQ(r.end - r.start, microseconds(500 + 85 + 10));
    EXPECT_EQ(chip.resets(), 1u);
    // main ran again and set the slave up anew; the half transfer left no
    // trace in the new slave layer.
    sim.runFor(milliseconds(2));
    EXPECT_TRUE(events.empty());
    r = transfer({I2cMessage::write(kAddress, {0x01})});
    EXPECT_TRUE(r.messages[0].addressAcked);
    sim.runFor(milliseconds(2));
    // The whole transfer fits into the 1 ms latency: its START, byte and STOP
    // are all pending at the one entry, and the STOP is taken before the byte
    // makes the transfer one in progress, so no FINISH follows.
    EXPECT_EQ(events, (Events{"1000 rx 01"}));
}

} // namespace
} // namespace sim
