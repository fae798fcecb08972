// boardctl: the boards' host protocol from the shell, on a Linux I2C adapter
// or on boardsim's simulated backplane.
#include "commands.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> interrupted{false};
volatile std::sig_atomic_t signalNumber = 0;

void onSignal(int sig) {
    signalNumber = sig;
    interrupted = true;
}

} // namespace

int main(int argc, char** argv) {
    // SIGINT or SIGTERM ends watch after its current round, with status 0;
    // any other command gives up the answer it waits for. No SA_RESTART:
    // blocking calls return at once.
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    int status = boardctl::run(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                               std::cerr, &interrupted);
    // Cut short by the signal: the status a shell gives a program it killed.
    if (status != 0 && signalNumber != 0)
        return 128 + signalNumber;
    return status;
}
