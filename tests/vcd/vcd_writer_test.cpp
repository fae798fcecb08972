// The probes of a whole board as the file shows them: pins by role, a fading
// LED as brightness with its pin unknown while the PWM runs, the analog inputs
// and the slot voltage, and the converter's SPI wires at the block's rate.
#include "harness/bench.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace sim {
namespace {

// A VCD file read back: each signal's values in time order.
struct Dump {
    struct Change {
        Time at;
        std::string value;
    };
    std::map<std::string, std::vector<Change>> signals;

    explicit Dump(const std::string& path) {
        std::ifstream in(path);
        std::map<std::string, std::string> names; // id -> name
        std::string tok;
        Time t = 0;
        while (in >> tok) {
            if (tok == "$date" || tok == "$version" || tok == "$timescale") {
                while (in >> tok && tok != "$end") {
                }
            } else if (tok == "$var") {
                std::string kind, size, id, name;
                in >> kind >> size >> id >> name;
                names[id] = name;
                signals[name];
            } else if (tok[0] == '#') {
                t = std::stoull(tok.substr(1));
            } else if (tok[0] == 'r') {
                std::string id;
                in >> id;
                signals[names.at(id)].push_back({t, tok.substr(1)});
            } else if (tok[0] != '$') {
                signals[names.at(tok.substr(1))].push_back({t, tok.substr(0, 1)});
            }
        }
    }
    // The value at time t.
    std::string at(const std::string& name, Time t) const {
        std::string v = "?";
        for (const Change& c : signals.at(name)) {
            if (c.at > t)
                break;
            v = c.value;
        }
        return v;
    }
    // When the signal took `value`, from `from` on.
    std::vector<Time> times(const std::string& name, const std::string& value,
                            Time from = 0) const {
        std::vector<Time> out;
        for (const Change& c : signals.at(name)) {
            if (c.value == value && c.at >= from)
                out.push_back(c.at);
        }
        return out;
    }
};

class VcdWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        valdor_ = &bench_.insert(2, "valdor", BOARD_IMAGE_DIR "/valdor.so");
        bench_.writeVcd(path_);
        bench_.powerOn();
    }
    void TearDown() override { std::remove(path_.c_str()); }
    void run(Time d) { ASSERT_TRUE(bench_.run(d)) << bench_.error(); }

    const std::string path_ = ::testing::TempDir() + "vcd_writer_test.vcd";
    Bench bench_;
    Board* valdor_ = nullptr;
};

TEST_F(VcdWriterTest, BoardSignalsFollowTheBoard) {
    run(milliseconds(100));
    const Time fading = bench_.now();
    valdor_->analog().set(1, 2048);
    valdor_->contact(13).close();
    run(milliseconds(30));
    const Time closed = bench_.now();
    bench_.writeRegisters(0x25, 0x0b, {0x81}); // heartbeat: the fading stops
    bench_.writeRegisters(0x25, 0x60, {0x00, 0x08});
    run(milliseconds(5));
    const Time end = bench_.now();
    bench_.closeVcd();
    Dump d(path_);

    // The names of the pin tables, and nothing for the bus pins or the
    // analog pins as wires.
    for (const char* name :
         {"bus.scl", "bus.sda", "valdor@2.dout0", "valdor@2.dout11", "valdor@2.din2",
          "valdor@2.change_n", "valdor@2.dac_cs_n", "valdor@2.led", "valdor@2.gpio16",
          "valdor@2.ain1", "valdor@2.slot", "valdor@2.led_startup"})
        EXPECT_EQ(d.signals.count(name), 1u) << name;
    for (const char* name : {"valdor@2.gpio20", "valdor@2.gpio26", "valdor@2.gpio28"})
        EXPECT_EQ(d.signals.count(name), 0u) << name;

    // Slot 2 codes the middle of its band (2816 counts); 2048 counts is 1.65 V.
    EXPECT_EQ(d.at("valdor@2.slot", 0), "2.26875");
    EXPECT_EQ(d.at("valdor@2.ain1", fading - 1), "0");
    EXPECT_EQ(d.at("valdor@2.ain1", fading), "1.65");

    // Before the host shows up, GPIO1 fades: its wire is unknown, its
    // brightness steps between dark and full.
    EXPECT_EQ(d.at("valdor@2.dout10", fading), "x");
    const std::string level = d.at("valdor@2.led_startup", fading);
    EXPECT_GT(std::stod(level), 0.0);
    EXPECT_LT(std::stod(level), 1.0);
    EXPECT_GT(d.signals.at("valdor@2.led_startup").size(), 5u);
    EXPECT_EQ(d.at("valdor@2.dout10", end), "0");
    EXPECT_EQ(d.at("valdor@2.led_startup", end), "0");

    // The contact pulls input 2 low; the change line follows after debouncing.
    EXPECT_EQ(d.at("valdor@2.din2", fading - 1), "1");
    EXPECT_EQ(d.at("valdor@2.din2", fading), "0");
    EXPECT_EQ(d.at("valdor@2.change_n", closed), "0");

    // The converter write: one frame of 16 clock pulses, 8192 ns apart,
    // inside the select.
    const std::vector<Time> selects = d.times("valdor@2.dac_cs_n", "0", closed);
    const std::vector<Time> rises = d.times("valdor@2.spi_sck", "1", closed);
    ASSERT_EQ(selects.size(), 1u);
    ASSERT_EQ(rises.size(), 16u);
    EXPECT_GT(rises.front(), selects.front());
    for (std::size_t i = 1; i < rises.size(); ++i)
        EXPECT_EQ(rises[i] - rises[i - 1], 8192u) << i;
    EXPECT_LT(rises.back(), d.times("valdor@2.dac_cs_n", "1").back());
}

} // namespace
} // namespace sim
