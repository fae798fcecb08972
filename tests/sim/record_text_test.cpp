// Every kind of record prints the line it always printed: traces, tests and
// people read these lines, and the fields behind them must not change them.
#include "world/record.h"

#include "chip/pin_functions.h"

#include <gtest/gtest.h>

namespace {

using sim::microseconds;
using sim::PinLevel;
using sim::Record;

sim::I2cTransferRecord transfer() {
    sim::I2cTransferRecord t;
    t.start = microseconds(1000);
    t.end = microseconds(1390);
    sim::I2cMessageRecord w;
    w.address = 0x27;
    w.length = 1;
    w.addressAcked = true;
    w.bytes = {0xfd};
    w.acked = {true};
    sim::I2cMessageRecord r = w;
    r.read = true;
    r.length = 2;
    r.bytes = {0x00, 0x58};
    r.acked = {true, false};
    t.messages = {w, r};
    return t;
}

TEST(RecordText, EveryKindPrintsItsLine) {
    const sim::Time at = microseconds(26000) + 150;
    const std::string v = "valdor@2";
    const struct {
        Record record;
        const char* line;
    } cases[] = {
        {{at, v, PinLevel{25, true, PinLevel::Holder::Chip, sim::gpiofn::kSio}},
         "26000.150us valdor@2 pin GPIO25=1 (sio drives)"},
        {{at, v, PinLevel{0, false, PinLevel::Holder::Chip, sim::gpiofn::kUart}},
         "26000.150us valdor@2 pin GPIO0=0 (uart drives)"},
        {{at, v, PinLevel{13, false, PinLevel::Holder::World, sim::gpiofn::kSio}},
         "26000.150us valdor@2 pin GPIO13=0 (world drives)"},
        {{at, v, PinLevel{4, false, PinLevel::Holder::Contention, sim::gpiofn::kSio}},
         "26000.150us valdor@2 pin GPIO4=0 (contention)"},
        {{at, v, PinLevel{5, false, PinLevel::Holder::Floating, sim::gpiofn::kNull}},
         "26000.150us valdor@2 pin GPIO5=0 (floating)"},
        {{at, v, PinLevel{17, true, PinLevel::Holder::Pulled, sim::gpiofn::kSio}},
         "26000.150us valdor@2 pin GPIO17=1 (pulled)"},
        {{at, v, sim::PinFunction{1, sim::gpiofn::kPwm}},
         "26000.150us valdor@2 function GPIO1 pwm"},
        {{at, v, sim::PwmSettings{0, true, 2500, 8 * 16 + 4, 20, 0}},
         "26000.150us valdor@2 pwm slice 0 on, top 2500, div 8.4, A 20, B 0"},
        {{at, v, sim::PwmSettings{7, false, 0xffff, 16, 0, 65535}},
         "26000.150us valdor@2 pwm slice 7 off, top 65535, div 1.0, A 0, B 65535"},
        {{at, v, sim::SpiTransfer{0x3800, 0xffff, 16, 0, microseconds(163) + 840}},
         "26000.150us valdor@2 spi spi0 tx=0x3800 rx=0xffff 16 bits mode 0, 163.840us"},
        {{at, v, sim::SpiTransfer{0x00a5, 0x0001, 8, 3, microseconds(80)}},
         "26000.150us valdor@2 spi spi0 tx=0x00a5 rx=0x0001 8 bits mode 3, 80.000us"},
        {{at, v, sim::DacCommand{0x3800, 0, 2048, true}},
         "26000.150us valdor@2 dac 0x3800: channel A value 2048"},
        {{at, v, sim::DacCommand{0xa0ff, 1, 255, false}},
         "26000.150us valdor@2 dac 0xa0ff: channel B value 255 (shut down)"},
        {{at, v, sim::DacError{"2 frames in one selection"}},
         "26000.150us valdor@2 dac framing error: 2 frames in one selection"},
        {{at, "brennic@3", sim::ConsoleText{"temp1: 0, temp2: 0, temp3: 0"}},
         "26000.150us brennic@3 console temp1: 0, temp2: 0, temp3: 0"},
        {{at, v, sim::ChipReset{"watchdog timeout"}},
         "26000.150us valdor@2 reset watchdog timeout"},
        {{microseconds(1390), "bus", sim::BusTransfer{transfer()}},
         "1390.000us bus i2c w1@0x27 0xfd, r2@0x27 0x00 0x58 (390us)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.record.line(), c.line);
}

} // namespace
