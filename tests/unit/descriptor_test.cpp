// The JSON descriptor a host reads after address byte 0xFF: its bytes are
// the board's self-description on the bus, and its length is published in
// registers 0xFD/0xFE.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "twi/descriptor.h"

namespace {

#ifdef DESCRIPTOR_OF_VALDOR
const std::string EXPECTED =
    R"(["Pico",{"dout":{"n":12},"din":{"n":4},"aout":{"n":2,"res":12},"ain":{"n":2},"v":"0.2"}])";
constexpr uint32_t EXPECTED_LENGTH = 88;
#else
const std::string EXPECTED =
    R"(["Pico",{"dout":{"n":9},"din":{"n":6},"v":"0.1","thermo":{"n":8}}])";
constexpr uint32_t EXPECTED_LENGTH = 66;
#endif

TEST(Descriptor, PublishedLengthIsTheLengthOfTheText) {
    EXPECT_EQ(_descriptorLen, EXPECTED_LENGTH);
    EXPECT_EQ(std::strlen(_descriptor), _descriptorLen);
    // Both length registers together: high byte 0xFD, low byte 0xFE.
    EXPECT_EQ(_descriptorLen >> 8, 0u);
}

TEST(Descriptor, BytesOnTheBusAreTheBoardsDescription) {
    EXPECT_EQ(std::string(_descriptor, _descriptorLen), EXPECTED);
}

} // namespace
