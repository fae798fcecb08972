// The JSON descriptor over the bus: its length in 0xFD/0xFE (high byte
// first), its bytes after the address byte 0xFF, zeros past its end, a
// position that survives between transactions, and a restart on every 0xFF.
#include "link_bench.h"

#include <string>

namespace link_test {
namespace {

struct Descriptor {
    const char* image;
    std::string text;
};

const Descriptor kDescriptors[] = {
    {"valdor",
     R"(["Pico",{"dout":{"n":12},"din":{"n":4},"aout":{"n":2,"res":12},"ain":{"n":2},"v":"0.2"}])"},
    {"quillet", R"(["Pico",{"dout":{"n":9},"din":{"n":6},"v":"0.1","thermo":{"n":8}}])"},
};

void PrintTo(const Descriptor& d, std::ostream* os) {
    *os << d.image;
}

Bytes bytesOf(const std::string& text, std::size_t from = 0, std::size_t n = std::string::npos) {
    const std::string part = text.substr(from, n);
    return Bytes(part.begin(), part.end());
}

class DescriptorTest : public LinkTest, public ::testing::WithParamInterface<Descriptor> {
protected:
    void SetUp() override {
        insert(GetParam().image, 1);
        start();
    }
    const std::string& text() const { return GetParam().text; }
    // Selects the descriptor and reads n bytes in the same transfer.
    I2cTransferRecord readDescriptor(std::size_t n) {
        I2cTransferRecord r =
            transfer({I2cMessage::write(kAddr, {0xFF}), I2cMessage::readBytes(kAddr, n)});
        EXPECT_FALSE(r.nacked());
        return r;
    }

    static constexpr std::uint8_t kAddr = addressOfSlot(1);
};

TEST_P(DescriptorTest, LengthRegistersHoldTheLengthHighByteFirst) {
    const std::size_t length = text().size();
    ASSERT_EQ(length, std::string(GetParam().image) == "valdor" ? 88u : 66u);
    EXPECT_EQ(read(kAddr, 0xFD, 2), (Bytes{0x00, static_cast<std::uint8_t>(length)}));
}

// Every byte is ready when asked for: the whole read runs at the bus rate,
// with no clock held by the board.
TEST_P(DescriptorTest, ReadsInFullThenZerosWithoutHoldingTheClock) {
    I2cTransferRecord r = readDescriptor(100);
    Bytes expected = bytesOf(text());
    expected.resize(100, 0x00);
    EXPECT_EQ(r.messages[1].bytes, expected);
    // START, address, 0xFF, repeated START, address, 100 bytes, STOP. On
    // the real chip each byte is handed over by an interrupt, whose code
    // holds the clock about a microsecond: within the code time in all.
    EXPECT_TRUE(onTime(r.end - r.start, microseconds(5) + 2 * kByteTime + microseconds(15) +
                                            kByteTime + 100 * kByteTime + microseconds(10)));

    // The position stays at the end: a read without 0xFF gives zeros only.
    EXPECT_EQ(bareRead(kAddr, 5), Bytes(5, 0x00));
}

TEST_P(DescriptorTest, PositionSurvivesBetweenTransactions) {
    EXPECT_EQ(readDescriptor(40).messages[1].bytes, bytesOf(text(), 0, 40));
    // Neither time nor a transfer for another address moves it.
    runFor(milliseconds(30));
    EXPECT_TRUE(transfer({I2cMessage::write(0x10, {0xFF, 0x00})}).nacked());
    EXPECT_EQ(bareRead(kAddr, text().size() - 40), bytesOf(text(), 40));
    EXPECT_EQ(bareRead(kAddr, 2), Bytes(2, 0x00));
}

TEST_P(DescriptorTest, AddressByte0xFFStartsOver) {
    readDescriptor(25);
    EXPECT_EQ(readDescriptor(10).messages[1].bytes, bytesOf(text(), 0, 10));
    // An address-only write of 0xFF, then plain reads.
    transfer({I2cMessage::write(kAddr, {0xFF})});
    EXPECT_EQ(bareRead(kAddr, 6), bytesOf(text(), 0, 6));
}

// Data bytes after 0xFF form a record that nothing applies; the table keeps
// its values and the descriptor still starts at its first byte.
TEST_P(DescriptorTest, DataAfter0xFFChangesNoRegister) {
    write(kAddr, 0x50, {0x5A, 0xA5});
    write(kAddr, 0xFF, {0x11, 0x22, 0x33});
    runFor(milliseconds(2));
    EXPECT_EQ(read(kAddr, 0x50, 3), (Bytes{0x5A, 0xA5, 0x00}));
    EXPECT_EQ(read(kAddr, 0x00, 1), Bytes{0x00});
    EXPECT_EQ(readDescriptor(8).messages[1].bytes, bytesOf(text(), 0, 8));
}

// Register reads after the descriptor come from the table again.
TEST_P(DescriptorTest, SelectingARegisterLeavesTheDescriptor) {
    readDescriptor(3);
    EXPECT_EQ(read(kAddr, 0x09, 1), Bytes{0xC0});
    EXPECT_EQ(bareRead(kAddr, 1), Bytes{0x01}); // 0x0B follows 0x09
}

std::string descriptorName(const ::testing::TestParamInfo<Descriptor>& info) {
    return info.param.image;
}

INSTANTIATE_TEST_SUITE_P(Images, DescriptorTest, ::testing::ValuesIn(kDescriptors), descriptorName);

} // namespace
} // namespace link_test
