// boardsim --listen as a child process on a socket of its own, and other
// programs run as children with their output read line by line.
#pragma once

#include "boardhost/sim_transport.h"

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hosttest {

// A program started with its standard output on a pipe.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next line of its output; false at its end or after `limit`.
    bool readLine(std::string& line, std::chrono::milliseconds limit = std::chrono::seconds(30));
    void signal(int sig);
    // Its exit status (-1 unless it exited normally); waits for it.
    int wait();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffered_;
};

class ServedBackplane {
public:
    // boardsim --listen on a fresh socket with these boards and speed.
    ServedBackplane(const std::vector<std::string>& boards, const std::string& speed);
    ~ServedBackplane();

    const std::string& socket() const { return socket_; }
    // A connection of its own for the world's commands; null when the
    // server never came up.
    boardhost::SimTransport* world() { return world_.get(); }
    // Runs a boardsim command; its output lines (an error fails the test).
    std::vector<std::string> command(const std::string& line);

private:
    std::string dir_;
    std::string socket_;
    std::unique_ptr<Child> server_;
    std::unique_ptr<boardhost::SimTransport> world_;
};

} // namespace hosttest
