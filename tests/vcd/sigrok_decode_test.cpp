// A whole run on a backplane with a valdor and a quillet, written as a VCD and
// read back by sigrok-cli's I2C and SPI decoders: they must find exactly the
// transfers the host made (conditions, addresses, bytes, acknowledges) and
// exactly the frames each board's SPI block shifted.
#include "harness/bench.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace sim {
namespace {

// Every frame one chip's SPI block shifted.
class FrameLog : public ChipObserver {
public:
    explicit FrameLog(Chip& chip) : chip_(chip) { chip_.addObserver(*this); }
    ~FrameLog() override { chip_.removeObserver(*this); }
    void spiFrame(Chip&, const SpiFrame& f, std::uint16_t rx) override {
        // The decoder writes words with at least two digits.
        mosi.push_back(hex(f.mosi, 2));
        miso.push_back(hex(rx, 2));
    }
    static std::string hex(unsigned v, int digits) {
        char text[8];
        std::snprintf(text, sizeof text, "%0*X", digits, v);
        return text;
    }
    std::vector<std::string> mosi, miso;

private:
    Chip& chip_;
};

struct Decoded {
    int status = -1;
    std::vector<std::string> lines; // annotations, without the decoder's name
};

Decoded sigrok(const std::string& vcd, const std::string& decoder, const std::string& show) {
    const std::string command = std::string(SIGROK_CLI) + " -I vcd:downsample=250 -i " + vcd +
                                " -P " + decoder + " -A " + show + " 2>/dev/null";
    Decoded d;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return d;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string s(line);
        s.erase(s.find_last_not_of("\r\n") + 1);
        const auto colon = s.find(": ");
        d.lines.push_back(colon == std::string::npos ? s : s.substr(colon + 2));
    }
    d.status = pclose(pipe);
    return d;
}

// The transfers as the decoder words them, one annotation a line.
std::vector<std::string> asDecoded(const std::vector<I2cTransferRecord>& transfers) {
    std::vector<std::string> out;
    for (const I2cTransferRecord& t : transfers) {
        bool first = true;
        for (const I2cMessageRecord& m : t.messages) {
            out.push_back(first ? "Start" : "Start repeat");
            first = false;
            out.push_back(m.read ? "Read" : "Write"); // the R/W bit
            out.push_back(std::string(m.read ? "Address read: " : "Address write: ") +
                          FrameLog::hex(m.address, 2));
            out.push_back(m.addressAcked ? "ACK" : "NACK");
            for (std::size_t i = 0; i < m.bytes.size(); ++i) {
                out.push_back(std::string(m.read ? "Data read: " : "Data write: ") +
                              FrameLog::hex(m.bytes[i], 2));
                out.push_back(m.acked[i] ? "ACK" : "NACK");
            }
        }
        out.push_back("Stop");
    }
    return out;
}

std::string joined(const std::vector<std::string>& lines) {
    std::ostringstream s;
    for (const std::string& l : lines)
        s << l << "\n";
    return s.str();
}

class SigrokDecodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        valdor_ = &bench_.insert(2, "valdor", BOARD_IMAGE_DIR "/valdor.so");
        quillet_ = &bench_.insert(1, "quillet", BOARD_IMAGE_DIR "/quillet.so");
        bench_.writeVcd(path_);
        valdorFrames_ = std::make_unique<FrameLog>(valdor_->chip());
        quilletFrames_ = std::make_unique<FrameLog>(quillet_->chip());
        bench_.powerOn();
    }
    void TearDown() override { std::remove(path_.c_str()); }

    void i2c(std::vector<I2cMessage> messages) {
        transfers_.push_back(bench_.i2c(std::move(messages)));
        ASSERT_FALSE(bench_.failed()) << bench_.error();
    }
    void run(Time d) { ASSERT_TRUE(bench_.run(d)) << bench_.error(); }

    const std::string path_ = ::testing::TempDir() + "sigrok_decode_test.vcd";
    Bench bench_;
    Board* valdor_ = nullptr;
    Board* quillet_ = nullptr;
    std::unique_ptr<FrameLog> valdorFrames_, quilletFrames_;
    std::vector<I2cTransferRecord> transfers_;
};

TEST_F(SigrokDecodeTest, DecodersFindExactlyTheTransfersAndFrames) {
    using M = I2cMessage;
    quillet_->thermocouples()->setTemperature(3, 100);
    quillet_->thermocouples()->setOpen(5);
    run(milliseconds(30));
    // Descriptor lengths and text, register writes, the converter, a
    // heartbeat, an address nobody answers, and a read without an address.
    i2c({M::write(0x25, {0xfd}), M::readBytes(0x25, 2)});
    i2c({M::write(0x26, {0xfd}), M::readBytes(0x26, 2)});
    i2c({M::write(0x25, {0xff}), M::readBytes(0x25, 12)});
    i2c({M::write(0x25, {0x50, 0x01, 0x08})});
    i2c({M::write(0x25, {0x60, 0x00, 0x08})});
    i2c({M::write(0x25, {0x62, 0xff, 0x0f})});
    i2c({M::write(0x25, {0x0b, 0x81})});
    i2c({M::write(0x30, {0x01})});
    i2c({M::readBytes(0x25, 3)});
    run(milliseconds(220));
    i2c({M::write(0x26, {0x84}), M::readBytes(0x26, 6)});
    i2c({M::write(0x25, {0x05}), M::readBytes(0x25, 1)});
    run(milliseconds(5));
    bench_.closeVcd();

    const std::vector<std::string> expected = asDecoded(transfers_);
    ASSERT_GT(expected.size(), 100u);
    Decoded bus = sigrok(path_, "i2c:scl=bus.scl:sda=bus.sda",
                         "i2c=start:repeat-start:stop:ack:nack:address-read:address-write:"
                         "data-read:data-write");
    ASSERT_EQ(bus.status, 0) << SIGROK_CLI " did not run; install sigrok-cli";
    EXPECT_EQ(joined(bus.lines), joined(expected));

    // The converter: 16-bit command words under its active-low select.
    ASSERT_EQ(valdorFrames_->mosi.size(), 2u);
    Decoded dac = sigrok(path_,
                         "spi:clk=valdor@2.spi_sck:mosi=valdor@2.spi_mosi:cs=valdor@2.dac_cs_n:"
                         "wordsize=16",
                         "spi=mosi-data");
    ASSERT_EQ(dac.status, 0);
    EXPECT_EQ(joined(dac.lines), joined(valdorFrames_->mosi));

    // The thermocouple converters: what the block read while the select
    // demultiplexer was enabled.
    ASSERT_GE(quilletFrames_->miso.size(), 16u);
    Decoded thermo = sigrok(path_,
                            "spi:clk=quillet@1.spi_sck:miso=quillet@1.spi_miso:"
                            "cs=quillet@1.cs_enable:cs_polarity=active-high:wordsize=16",
                            "spi=miso-data");
    ASSERT_EQ(thermo.status, 0);
    EXPECT_EQ(joined(thermo.lines), joined(quilletFrames_->miso));
}

} // namespace
} // namespace sim
