// Runs a script on a fresh bench with the board in the script's slot, the
// image a host image module (.so) or a real binary (.elf), and records what
// the host read and what the board did.
#pragma once

#include "script.h"
#include "trace.h"

namespace differential {

// `runOn` past the script's end: the real binary's events come later.
Trace replay(const Script& script, const std::string& imagePath, Time runOn = 0);

} // namespace differential
