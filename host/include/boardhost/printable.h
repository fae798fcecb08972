// Text a board sent, fit for a terminal or a log line: a broken or hostile
// board may send control characters, raw bytes or a kilobyte of 0xFF.
#pragma once

#include <cstddef>
#include <string>

namespace boardhost {

// Printable ASCII as it is, a backslash as "\\", every other byte as
// "\xHH"; more than `limit` bytes are cut, saying how many there were:
// "Pi\x00co\x1b[31m", "\xff\xff... (88 bytes)".
std::string printable(const std::string& text, std::size_t limit = 64);

} // namespace boardhost
