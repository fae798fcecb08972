// The general call (address 0) is not for the boards: a broadcast that
// would be a register write for a board is not acknowledged by any of them
// and changes nothing, and the boards answer at their own addresses as before.
#include "link_bench.h"

namespace link_test {
namespace {

TEST_F(LinkTest, BoardsKeepOutOfTheGeneralCall) {
    sim::Board& valdor = insert("valdor", 2);
    insert("quillet", 5);
    start(milliseconds(5));

    const std::vector<std::vector<std::uint8_t>> broadcasts = {
        {0x50, 0xFF, 0x0F}, // every output on, were it a register write
        {0x00, 0x5A},       // the spare register
        {0x06},             // the general-call reset of converters
        {0x12, 0x00},       // an acknowledge of the input-change line
    };
    for (const auto& bytes : broadcasts) {
        const I2cTransferRecord r = transfer({I2cMessage::write(0x00, bytes)});
        EXPECT_TRUE(r.nacked()) << "broadcast of " << bytes.size() << " bytes";
    }
    runFor(milliseconds(5));
    for (std::uint8_t address : {addressOfSlot(2), addressOfSlot(5)}) {
        EXPECT_EQ(read(address, 0x00, 1), Bytes{0x00});
        EXPECT_EQ(read(address, 0x50, 2), (Bytes{0x00, 0x00}));
    }
    for (unsigned pin = 0; pin < 12; ++pin)
        EXPECT_FALSE(valdor.chip().gpio.level(pin)) << "GPIO" << pin;
    // Still on the bus for what is theirs.
    write(addressOfSlot(2), 0x50, {0x01});
    runFor(milliseconds(1));
    EXPECT_TRUE(valdor.chip().gpio.level(valdor.description().gpio(sim::PinUse::DigitalOut, 0)));
}

} // namespace
} // namespace link_test
