// The entries of the ROM's soft float and soft double tables, carried out on
// the calling core's registers with the ROM's own results: its rounding, its
// treatment of denormals, infinities and NaN, its saturating conversions.
#pragma once

#include "arm/core.h"

#include <cstdint>
#include <string>

namespace sim::rp2040 {

// "fadd", "dsqrt", ... by the entry's index in its table.
std::string softFloatName(unsigned entry, bool isDouble);
// Carries out the entry on the core's registers; false with `failure` set
// when the index lies beyond the table.
bool softFloatCall(arm::Core& core, unsigned entry, bool isDouble, std::string& failure);
// The ROM's typical cycles for the entry, beyond the call and return.
unsigned softFloatCycles(unsigned entry, bool isDouble);

} // namespace sim::rp2040
