// Runs a script on a fresh bench with the board in the script's slot, the
// image a host image module (.so) or a real binary (.elf), and records what
// the host read and what the board did.
#pragma once

#include "script.h"
#include "trace.h"

namespace differential {

// Boards are up on both backends by then (the real binary starts about 5 ms
// later), and the script's first host word falls midway between two steps
// of the start-up fading on both.
constexpr Time kScriptStart = sim::milliseconds(16);

// `runOn` past the script's end: the real binary's events come later.
Trace replay(const Script& script, const std::string& imagePath, Time runOn = 0);

} // namespace differential
