// The entries of the ROM's soft float and soft double tables. The images
// copy both tables at start-up but call none of their entries, so no entry
// is carried out: a call stops the core and names the routine.
#pragma once

#include "arm/core.h"

#include <string>

namespace sim::rp2040 {

// "fadd", "dsqrt", ... by the entry's index in its table.
std::string softFloatName(unsigned entry, bool isDouble);
// Carries out the entry on the core's registers; false with `failure` set
// when the entry is not modelled.
bool softFloatCall(arm::Core& core, unsigned entry, bool isDouble, std::string& failure);
unsigned softFloatCycles(unsigned entry, bool isDouble);

} // namespace sim::rp2040
