#include "rp2040/soft_float.h"

namespace sim::rp2040 {

namespace {
// The entries by index: the version 1 table, then those version 2 and 3 added.
constexpr const char* kEntries[] = {
    "add",    "sub",     "mul",     "div",    "cmp",    "cmp_flags", "sqrt",    "2int",
    "2fix",   "2uint",   "2ufix",   "int2",   "fix2",   "uint2",     "ufix2",   "cos",
    "sin",    "tan",     "sincos",  "exp",    "ln",     "cmp_basic", "atan2",   "int642",
    "fix642", "uint642", "ufix642", "2int64", "2fix64", "2uint64",   "2ufix64", "2other",
};
} // namespace

std::string softFloatName(unsigned entry, bool isDouble) {
    const std::string kind = isDouble ? "double" : "float";
    if (entry >= sizeof kEntries / sizeof kEntries[0])
        return kind + " entry " + std::to_string(entry);
    const std::string name = kEntries[entry];
    if (name == "2other")
        return isDouble ? "double2float" : "float2double";
    if (name.compare(0, 1, "2") == 0)
        return kind + name;
    if (name.size() > 1 && name.back() == '2')
        return name + kind;
    return std::string(isDouble ? "d" : "f") + name;
}

bool softFloatCall(arm::Core& /*core*/, unsigned entry, bool isDouble, std::string& failure) {
    failure = "soft " + std::string(isDouble ? "double" : "float") + " routine " +
              softFloatName(entry, isDouble) + " (table offset " + std::to_string(entry * 4) +
              ") is not modelled";
    return false;
}

unsigned softFloatCycles(unsigned /*entry*/, bool /*isDouble*/) {
    return 0;
}

} // namespace sim::rp2040
