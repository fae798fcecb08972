// boardctl: the boards' host protocol from the shell, on a Linux I2C adapter
// or on boardsim's simulated backplane.
#include "commands.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> interrupted{false};

void onSignal(int) {
    interrupted = true;
}

} // namespace

int main(int argc, char** argv) {
    // SIGINT ends watch after its current round, with status 0.
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    return boardctl::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                         &interrupted);
}
