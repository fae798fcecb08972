// One connection to boardsim --listen, as the server sees it: what the
// client sent and what it has not read yet, both bounded, on a non-blocking
// socket. A client that stops reading holds up only itself; one that stays
// stuck too long is let go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace boardsim {

class Client {
public:
    // Unread input beyond this is left in the socket until lines are run.
    static constexpr std::size_t kMaxInput = 1024 * 1024;
    // Longer lines are no commands.
    static constexpr std::size_t kMaxLine = 64 * 1024;
    // No more of its lines run while this much of its replies is unread.
    static constexpr std::size_t kHighWater = 64 * 1024;
    // Replies beyond this (one huge answer) end the connection.
    static constexpr std::size_t kMaxOutput = 16 * 1024 * 1024;
    // Wall time a client may leave kHighWater unread before it is dropped.
    static constexpr std::int64_t kStallNs = 2'000'000'000;

    Client(int fd, unsigned id) : fd_(fd), id_(id) {}
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    int fd() const { return fd_; }
    unsigned id() const { return id_; }
    bool open() const { return fd_ >= 0; }

    bool wantsInput() const { return open() && !inputEnded_ && input_.size() < kMaxInput; }
    bool hasOutput() const { return !output_.empty(); }

    // Reads what is there; at the input's end the connection closes once
    // every whole line has run and its replies are out.
    void readInput();
    // The next whole line (without its end), when the client may run one.
    bool nextLine(std::string& line);
    void send(const std::string& text, std::int64_t wall);
    // Writes what the socket takes now.
    void flush(std::int64_t wall);
    // Drops a client that left its replies unread too long, or one that
    // has nothing more to say.
    void checkProgress(std::int64_t wall);

    // Closes the connection; `why`, when given, goes to stderr.
    void drop(const std::string& why = "");

private:
    int fd_;
    unsigned id_;
    std::string input_;
    std::string output_;
    bool inputEnded_ = false;
    std::int64_t progressAt_ = 0; // when the unread replies last moved
};

} // namespace boardsim
