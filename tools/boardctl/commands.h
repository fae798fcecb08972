// boardctl's commands on an open bus. Each returns the exit status; failures
// of the bus or the board are printed to `err` as one line.
#pragma once

#include "cli.h"

#include "boardhost/board.h"
#include "boardhost/transport.h"

#include <atomic>
#include <functional>
#include <iosfwd>
#include <memory>

namespace boardctl {

struct Context {
    using Connect = std::function<boardhost::Result<std::unique_ptr<boardhost::Transport>>()>;
    Context(const Cli& cli, std::ostream& out, std::ostream& err, const std::atomic<bool>* stop,
            Connect connect)
        : cli(cli), out(out), err(err), stop(stop), connect(std::move(connect)) {}

    const Cli& cli;
    std::ostream& out;
    std::ostream& err;
    // watch ends when this turns true (SIGINT).
    const std::atomic<bool>* stop = nullptr;
    // Opens the bus the first time a command needs it, after its arguments
    // were checked.
    Connect connect;

    boardhost::Result<boardhost::Transport*> bus();
    boardhost::Result<boardhost::Board> board(std::uint8_t address);

private:
    std::unique_ptr<boardhost::Transport> bus_;
};

int scanCommand(Context& c);
int infoCommand(Context& c);
int outCommand(Context& c);
int inCommand(Context& c);
int aoutCommand(Context& c);
int ainCommand(Context& c);
int thermoCommand(Context& c);
int watchCommand(Context& c);

// Prints the error as "boardctl: MESSAGE" and gives status 1.
int fail(Context& c, const boardhost::Error& e);

// The whole program: parses, opens the bus, runs the command.
int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
        const std::atomic<bool>* stop = nullptr);

} // namespace boardctl
