// How boardsim answers a command on its socket: the command's output lines,
// then `ok`, or `error: MESSAGE` when it failed. An output line that starts
// with a space or would read as an answer's end goes with one more space in
// front, so a client takes exactly one leading space off every line.
#pragma once

#include <string>

namespace boardsim {

// `output`: what the command printed; `error`: its error line, empty when it
// succeeded.
std::string reply(const std::string& output, const std::string& error);

} // namespace boardsim
