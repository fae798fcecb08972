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

// A program started with its standard output (and, with `withErrors`, its
// standard error) on a pipe.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv, bool withErrors = false);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next line of its output; false at its end or after `limit`.
    bool readLine(std::string& line, std::chrono::milliseconds limit = std::chrono::seconds(30));
    void signal(int sig);
    // Its exit status (-1 unless it exited normally); waits for it.
    int wait();
    // The same, waiting at most `limit`: -2 (and the child killed) when it
    // was still running.
    int waitFor(std::chrono::milliseconds limit);
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffered_;
};

// A client of boardsim --listen on a plain socket, that does with it what
// a test wants: send without reading, stop in the middle of a line.
class RawClient {
public:
    explicit RawClient(const std::string& socketPath);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    // Sends everything, waiting while the socket is full; false when the
    // server has gone.
    bool send(const std::string& text);
    // Shuts the sending half, as a client piping a script does at its end.
    void endSending();
    // Sends what fits now without waiting; the bytes sent.
    std::size_t sendSome(const std::string& text);
    bool readLine(std::string& line, std::chrono::milliseconds limit = std::chrono::seconds(30));
    // The lines of one answer up to its `ok` or `error: ...` line, which is
    // the last; empty after `limit`.
    std::vector<std::string> answer(std::chrono::milliseconds limit = std::chrono::seconds(30));
    // True when the server has closed the connection within `limit`; reads
    // nothing.
    bool hungUp(std::chrono::milliseconds limit);
    // True when the server has closed the connection (within `limit`),
    // reading and dropping what it sent.
    bool closedByServer(std::chrono::milliseconds limit);

private:
    int fd_ = -1;
    std::string buffered_;
};

class ServedBackplane {
public:
    // boardsim --listen on a fresh socket with these boards and speed;
    // with `withErrors` its standard error comes through server().
    ServedBackplane(const std::vector<std::string>& boards, const std::string& speed,
                    bool withErrors = false);
    ~ServedBackplane();

    const std::string& socket() const { return socket_; }
    // A connection of its own for the world's commands; null when the
    // server never came up.
    boardhost::SimTransport* world() { return world_.get(); }
    Child& server() { return *server_; }
    // Sends SIGTERM and waits at most `limit`: boardsim's exit status, -2
    // when it did not end.
    int stop(std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Runs a boardsim command; its output lines (an error fails the test).
    std::vector<std::string> command(const std::string& line);

private:
    std::string dir_;
    std::string socket_;
    std::unique_ptr<Child> server_;
    bool stopped_ = false;
    std::unique_ptr<boardhost::SimTransport> world_;
};

} // namespace hosttest
