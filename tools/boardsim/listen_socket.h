// The Unix socket boardsim --listen serves on: created with mode 0600 so
// that only its user drives the boards, and taken over from a server that
// is gone, never from a live one.
#pragma once

#include <string>

namespace boardsim {

// A non-blocking listening socket, or -1 after a line on stderr.
int listenOn(const std::string& path);

} // namespace boardsim
