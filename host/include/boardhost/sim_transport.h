// The transport on a simulated backplane: `boardsim --listen SOCKET` reads
// its commands line by line from a Unix socket and answers each with its
// output lines and then `ok` or `error: MESSAGE`. A transfer is boardsim's
// `i2c` command; any other command drives the simulated world.
#pragma once

#include "boardhost/transport.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace boardhost {

class SimTransport : public Transport {
public:
    static constexpr std::chrono::milliseconds kDefaultReplyTimeout{5000};
    // A reply line longer than this is no reply; the connection is dropped.
    static constexpr std::size_t kMaxReplyLine = 64 * 1024;
    // Nor is an answer of more lines than this holds.
    static constexpr std::size_t kMaxReply = 1024 * 1024;

    static Result<std::unique_ptr<SimTransport>> connect(const std::string& socketPath);
    ~SimTransport() override;
    SimTransport(const SimTransport&) = delete;
    SimTransport& operator=(const SimTransport&) = delete;

    Status transfer(std::vector<Message>& messages) override;
    std::string name() const override { return "sim:" + path_; }

    // How long a command waits for its whole answer; Error::Bus after that.
    void setReplyTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    // A command waiting for its answer gives up with Error::Bus
    // ("interrupted") soon after `*flag` turns true (a signal handler's).
    void setInterrupt(const std::atomic<bool>* flag) { interrupt_ = flag; }

    // One boardsim command; its output lines, or its error (BadArgument for
    // boardsim's own error, Bus when the connection failed).
    Result<std::vector<std::string>> command(const std::string& line);

private:
    SimTransport(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    Result<std::string> readLine(std::chrono::steady_clock::time_point deadline);
    // Waits until the socket is ready for `events`; an error past the
    // deadline or after an interrupt.
    Status await(short events, std::chrono::steady_clock::time_point deadline);
    Error closed() const;
    Result<std::vector<std::string>> exchange(const std::string& line);

    int fd_;
    std::string path_;
    std::string buffered_;
    std::chrono::milliseconds timeout_ = kDefaultReplyTimeout;
    const std::atomic<bool>* interrupt_ = nullptr;
    // Once an answer was cut short the stream is out of step: every later
    // command fails with the same error.
    std::optional<Error> broken_;
};

// "i2c w1@0x25 0xfd r2@0x25"
std::string i2cCommand(const std::vector<Message>& messages);

// Fills the read messages from the output lines of an `i2c` command.
Status takeI2cReply(const std::vector<std::string>& lines, std::vector<Message>& messages,
                    const std::string& busName);

// A reply's end: `ok`, or `error: ...` (its message in `error`).
bool isReplyEnd(const std::string& line, std::string& error);
// Output lines that start with a space, or would read as a reply's end,
// travel with one more space in front.
std::string escapeReplyLine(const std::string& line);
std::string unescapeReplyLine(const std::string& line);

} // namespace boardhost
