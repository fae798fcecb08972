// valdor's output word: where it lives in the table and which pin each of
// its bits drives.
#include <gtest/gtest.h>

#include "boards/valdor/output_map.h"
#include "twi/regs.h"

namespace {

TEST(ValdorOutputMap, TheWordIsTheHostsFirstTwoOutputRegisters) {
    _Regs regs;
    const _reg_t* low = regs.at(REG_DOUT_0);
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(low->readOnly, 0);
    const _reg_t* high = regs.next();
    EXPECT_EQ(high->addr, REG_DOUT_0 + 1);
    EXPECT_EQ(high->readOnly, 0);
}

TEST(ValdorOutputMap, ChannelIDrivesGpio11MinusIAndBits12To15NoPin) {
    for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t expected = i < DOUT_COUNT ? 1u << (11 - i) : 0u;
        EXPECT_EQ(valdorOutputImage(static_cast<uint16_t>(1u << i)), expected) << "bit " << i;
    }
    EXPECT_EQ(valdorOutputImage(0xFFFF), 0xFFFu);
}

} // namespace
