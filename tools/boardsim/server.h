// boardsim --listen: the running backplane served on a Unix socket. Clients
// send boardsim's commands line by line; each gets its answer (see reply.h)
// before the next line is read. Between commands the world runs on with the
// wall clock times the speed.
#pragma once

#include "harness/bench.h"

#include <string>

namespace boardsim {

// Serves until SIGINT or SIGTERM, then removes the socket. Clients start
// with the board in `firstSlot` selected. Returns the exit status.
int serve(sim::Bench& bench, const std::string& socketPath, double speed, unsigned firstSlot);

} // namespace boardsim
