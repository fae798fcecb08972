// The transport on a simulated backplane: `boardsim --listen SOCKET` reads
// its commands line by line from a Unix socket and answers each with its
// output lines and then `ok` or `error: MESSAGE`. A transfer is boardsim's
// `i2c` command; any other command drives the simulated world.
#pragma once

#include "boardhost/transport.h"

#include <memory>
#include <string>
#include <vector>

namespace boardhost {

class SimTransport : public Transport {
public:
    static Result<std::unique_ptr<SimTransport>> connect(const std::string& socketPath);
    ~SimTransport() override;
    SimTransport(const SimTransport&) = delete;
    SimTransport& operator=(const SimTransport&) = delete;

    Status transfer(std::vector<Message>& messages) override;
    std::string name() const override { return "sim:" + path_; }

    // One boardsim command; its output lines, or its error (BadArgument for
    // boardsim's own error, Bus when the connection failed).
    Result<std::vector<std::string>> command(const std::string& line);

private:
    SimTransport(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    Result<std::string> readLine();

    int fd_;
    std::string path_;
    std::string buffered_;
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
