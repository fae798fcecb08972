// Shared by quillet and brennic, which presents itself as a quillet.
#include "twi/descriptor.h"

const char _descriptor[] = R"(["Pico",{"dout":{"n":9},"din":{"n":6},"v":"0.1","thermo":{"n":8}}])";
const uint32_t _descriptorLen = sizeof(_descriptor) - 1;
