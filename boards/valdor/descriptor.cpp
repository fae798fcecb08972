#include "twi/descriptor.h"

const char _descriptor[] =
    R"(["Pico",{"dout":{"n":12},"din":{"n":4},"aout":{"n":2,"res":12},"ain":{"n":2},"v":"0.2"}])";
const uint32_t _descriptorLen = sizeof(_descriptor) - 1;
