// libFuzzer entry: any bytes as a boardsim script, through the parsers.
#include "parser_driver.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    boardsim_fuzz::parseScript(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
