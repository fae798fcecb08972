// The message the chip stops the simulation with when a core cannot go on:
// the chip, the core, why, where (with the symbol), the FreeRTOS task if
// one can be told, and the instructions the core executed last.
#pragma once

#include "rp2040/elf_image.h"
#include "rp2040/rtos_view.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim::rp2040 {

struct FaultReport {
    std::string chip;
    int core = 0;
    std::string reason;
    std::uint32_t pc = 0;
    std::optional<std::string> task;
    std::vector<std::uint32_t> recentPcs; // oldest first

    // Names the code at an address: "main+0x14", or "" when nothing is known.
    using Describer = std::function<std::string(std::uint32_t)>;

    // One message, the first line saying it all, then the recent
    // instructions one per line: "  0x10000234 main+0x14: 4770".
    std::string text(const Describer& describe, const RtosView::MemoryReader& read) const;
};

// "0x1000023c main+0x1c" (the name left out when none is known).
std::string describeAddress(const FaultReport::Describer& describe, std::uint32_t address);

} // namespace sim::rp2040
