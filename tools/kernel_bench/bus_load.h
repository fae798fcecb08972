#pragma once

#include <cstdint>

// Runs a valdor board under continuous host traffic; prints the speed.
int runBusLoad(std::uint64_t simulatedSeconds);
