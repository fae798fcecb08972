#include "client.h"

#include <cerrno>
#include <iostream>
#include <sys/socket.h>
#include <unistd.h>

namespace boardsim {

Client::~Client() {
    if (fd_ >= 0)
        ::close(fd_);
}

void Client::drop(const std::string& why) {
    if (fd_ < 0)
        return;
    if (!why.empty())
        std::cerr << "boardsim: client " << id_ << " dropped: " << why << "\n";
    ::close(fd_);
    fd_ = -1;
}

void Client::readInput() {
    char chunk[4096];
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    if (n <= 0) {
        // Gone, or done sending: what is left still runs and is answered,
        // a run under way included; the server closes the connection after.
        inputEnded_ = true;
        return;
    }
    input_.append(chunk, static_cast<std::size_t>(n));
    if (input_.size() > kMaxLine && input_.find('\n') == std::string::npos)
        drop("a line longer than " + std::to_string(kMaxLine) + " bytes");
}

bool Client::nextLine(std::string& line) {
    if (!open() || output_.size() >= kHighWater)
        return false;
    std::size_t nl = input_.find('\n');
    if (nl == std::string::npos)
        return false;
    line.assign(input_, 0, nl);
    input_.erase(0, nl + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

void Client::send(const std::string& text, std::int64_t wall) {
    if (!open())
        return;
    if (output_.empty())
        progressAt_ = wall;
    output_ += text;
    if (output_.size() > kMaxOutput)
        drop(std::to_string(output_.size()) + " bytes of replies unread");
    else
        flush(wall);
}

void Client::flush(std::int64_t wall) {
    while (open() && !output_.empty()) {
        ssize_t n = ::send(fd_, output_.data(), output_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            drop(); // it went away
            return;
        }
        output_.erase(0, static_cast<std::size_t>(n));
        progressAt_ = wall;
    }
}

void Client::checkProgress(std::int64_t wall) {
    if (!open())
        return;
    if (output_.size() >= kHighWater && wall - progressAt_ > kStallNs) {
        drop("it left " + std::to_string(output_.size()) + " bytes of replies unread for " +
             std::to_string(kStallNs / 1'000'000'000) + " s");
        return;
    }
    if (inputEnded_ && output_.empty() && input_.find('\n') == std::string::npos)
        drop();
}

} // namespace boardsim
