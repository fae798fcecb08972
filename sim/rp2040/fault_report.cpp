#include "rp2040/fault_report.h"

#include <cstdio>

namespace sim::rp2040 {

namespace {
std::string hex(std::uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*x", digits, v);
    return buf;
}

bool isWide(std::uint16_t first) {
    // 32-bit Thumb encodings begin with 0b11101, 0b11110 or 0b11111.
    return (first >> 11) >= 0x1d;
}
} // namespace

std::string describeAddress(const FaultReport::Describer& describe, std::uint32_t address) {
    const std::string symbol = describe(address);
    return "0x" + hex(address, 8) + (symbol.empty() ? "" : " " + symbol);
}

std::string FaultReport::text(const Describer& describe, const RtosView::MemoryReader& read) const {
    std::string s = chip + ": core " + std::to_string(core) + " stopped: " + reason + " at pc " +
                    describeAddress(describe, pc);
    if (task)
        s += " in task \"" + *task + "\"";
    if (!recentPcs.empty())
        s += "; last instructions, oldest first:";
    for (std::uint32_t at : recentPcs) {
        s += "\n  " + describeAddress(describe, at) + ":";
        std::uint16_t half[2] = {};
        if (!read(at, &half[0], 2)) {
            s += " (not readable)";
            continue;
        }
        s += " " + hex(half[0], 4);
        if (isWide(half[0]) && read(at + 2, &half[1], 2))
            s += " " + hex(half[1], 4);
    }
    return s;
}

} // namespace sim::rp2040
