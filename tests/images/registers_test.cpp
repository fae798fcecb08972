// The register table over the bus: runs of reads and writes that move on in
// table order and wrap from 0xFE to 0x00, read-only registers, unlisted
// addresses, over-long writes and combined write-then-read transfers.
#include "link_bench.h"

#include <string>

namespace link_test {
namespace {

struct Image {
    const char* name;
    std::uint8_t descriptorLength;
};
const Image kImages[] = {{"valdor", 88}, {"quillet", 66}};

void PrintTo(const Image& image, std::ostream* os) {
    *os << image.name;
}

class Registers : public LinkTest, public ::testing::WithParamInterface<Image> {
protected:
    void SetUp() override {
        insert(GetParam().name, 4);
        start();
    }
    Bytes table() { return read(kAddr, 0x00, 38); }
    Bytes initialValues() const {
        Bytes values;
        for (const Entry& e : initialTable(GetParam().descriptorLength))
            values.push_back(e.value);
        return values;
    }
    // Where an entry of the table sits in a full read from 0x00.
    static std::size_t indexOf(std::uint8_t addr) {
        const std::vector<Entry> t = initialTable(0);
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (t[i].addr == addr)
                return i;
        }
        ADD_FAILURE() << "no register 0x" << std::hex << int(addr);
        return 0;
    }

    static constexpr std::uint8_t kAddr = addressOfSlot(4);
};

// Until the host sends an address byte, reads give zeros, not the table.
TEST_P(Registers, ReadsBeforeAnyAddressByteGiveZeros) {
    EXPECT_EQ(bareRead(kAddr, 3), Bytes(3, 0x00));
}

TEST_P(Registers, FullReadGivesTheTableInTableOrderAndWraps) {
    Bytes twice = initialValues();
    const Bytes once = twice;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(read(kAddr, 0x00, 76), twice);
}

TEST_P(Registers, ReadRunsMoveToTheNextEntryNotTheNextAddress) {
    write(kAddr, 0x50, {0x3C});
    write(kAddr, 0x60, {0x61});
    write(kAddr, 0x00, {0x77});
    EXPECT_EQ(read(kAddr, 0x12, 3), (Bytes{0x00, 0x00, 0x3C}));                  // 0x12, 0x13, 0x50
    EXPECT_EQ(read(kAddr, 0x57, 2), (Bytes{0x00, 0x61}));                        // 0x57, 0x60
    EXPECT_EQ(read(kAddr, 0xFE, 2), (Bytes{GetParam().descriptorLength, 0x77})); // 0xFE, 0x00
    // A read without an address byte goes on from there: 0x05, 0x09.
    EXPECT_EQ(bareRead(kAddr, 2), (Bytes{0x02, 0xC0}));
}

// A write that starts at a read-only register loses its first byte there;
// the run goes on in table order, from 0x13 to 0x50 and from 0xFE to 0x00.
TEST_P(Registers, WriteRunsMoveInTableOrderAndWrapFrom0xFE) {
    write(kAddr, 0x13, {0xA1, 0xA2, 0xA3});
    write(kAddr, 0xFE, {0xB1, 0xB2, 0xB3});
    Bytes expected = initialValues();
    expected[indexOf(0x50)] = 0xA2;
    expected[indexOf(0x51)] = 0xA3;
    expected[indexOf(0x00)] = 0xB2;
    expected[indexOf(0x05)] = 0xB3;
    EXPECT_EQ(table(), expected);
}

// A read-only register keeps its value but takes its byte of the run.
TEST_P(Registers, ReadOnlyRegistersSkipTheirByte) {
    write(kAddr, 0x50, {0x01, 0x02, 0x03, 0xAA, 0xBB, 0xCC, 0x10, 0x00});
    write(kAddr, 0x09, {0x11});
    write(kAddr, 0xFD, {0x12, 0x34});
    Bytes expected = initialValues();
    expected[indexOf(0x50)] = 0x01;
    expected[indexOf(0x51)] = 0x02;
    expected[indexOf(0x52)] = 0x03;
    expected[indexOf(0x60)] = 0x10;
    EXPECT_EQ(table(), expected);
}

// An address outside the table selects nothing: reads give zeros and move
// nothing, data after it is dropped, and the table is untouched.
TEST_P(Registers, UnlistedAddressesReadZerosAndDropWrites) {
    write(kAddr, 0x00, {0x5E}); // a value that a read from 0x00 would show
    EXPECT_EQ(read(kAddr, 0x10, 3), Bytes(3, 0x00));
    EXPECT_EQ(bareRead(kAddr, 2), Bytes(2, 0x00));
    write(kAddr, 0x10, {0x55, 0x66});
    write(kAddr, 0x7F, {0x81});
    write(kAddr, 0xFC, {0x01, 0x02, 0x03});
    EXPECT_EQ(bareRead(kAddr, 1), Bytes{0x00});
    Bytes expected = initialValues();
    expected[indexOf(0x00)] = 0x5E;
    EXPECT_EQ(table(), expected);
}

// 101 data bytes are all acknowledged; the first 100 are applied, wrapping
// round the table 2.6 times, the later byte for a register winning. The
// run starts at 0x88 so that bytes 99, 100 and 101 would land on 0x60, 0x61
// and 0x62: a limit one short or one long shows in the table.
TEST_P(Registers, OverLongWriteAppliesTheFirstHundredBytes) {
    Bytes data;
    for (std::uint8_t i = 0; i <= 100; ++i)
        data.push_back(i);
    I2cTransferRecord r = write(kAddr, 0x88, data);
    EXPECT_EQ(r.messages[0].acked, std::vector<bool>(102, true));

    const std::vector<Entry> entries = initialTable(GetParam().descriptorLength);
    Bytes expected = initialValues();
    std::size_t k = indexOf(0x88);
    for (std::size_t i = 0; i < 100; ++i, k = (k + 1) % entries.size()) {
        if (!entries[k].readOnly)
            expected[k] = data[i];
    }
    EXPECT_EQ(expected[indexOf(0x60)], 98);
    EXPECT_EQ(expected[indexOf(0x61)], 99);
    EXPECT_EQ(expected[indexOf(0x62)], 62);
    // The 101st byte is dropped but still moves the cursor on: from 0x62,
    // which it would have gone to, to 0x63.
    EXPECT_EQ(bareRead(kAddr, 1), Bytes{expected[indexOf(0x63)]});
    EXPECT_EQ(table(), expected);
}

// A write and a read joined by a repeated START: the read goes on from the
// register after the last one written, and the written values are in the
// table once the transfer is over.
TEST_P(Registers, CombinedWriteThenReadContinuesAfterTheWrite) {
    write(kAddr, 0x62, {0x56, 0x78});
    I2cTransferRecord r =
        transfer({I2cMessage::write(kAddr, {0x60, 0x34, 0x12}), I2cMessage::readBytes(kAddr, 2)});
    ASSERT_FALSE(r.nacked());
    EXPECT_EQ(r.messages[1].bytes, (Bytes{0x56, 0x78}));
    EXPECT_EQ(read(kAddr, 0x60, 2), (Bytes{0x34, 0x12}));

    // Register select and read in one transfer, the common way to read.
    r = transfer({I2cMessage::write(kAddr, {0x09}), I2cMessage::readBytes(kAddr, 2)});
    EXPECT_EQ(r.messages[1].bytes, (Bytes{0xC0, 0x01}));
}

// A write is in the table when its STOP is on the bus: a read that starts
// right after it (the bus free time later) already sees it.
TEST_P(Registers, WrittenValuesAreThereRightAfterTheStop) {
    for (std::uint8_t v : {0x11, 0x22, 0x33}) {
        const I2cTransferRecord w = write(kAddr, 0x51, {v});
        const I2cTransferRecord r =
            transfer({I2cMessage::write(kAddr, {0x51}), I2cMessage::readBytes(kAddr, 1)});
        EXPECT_EQ(r.start, w.end + microseconds(5));
        EXPECT_EQ(r.messages[1].bytes, Bytes{v});
    }
}

std::string imageName(const ::testing::TestParamInfo<Image>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Images, Registers, ::testing::ValuesIn(kImages), imageName);

} // namespace
} // namespace link_test
