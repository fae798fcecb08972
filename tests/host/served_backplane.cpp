#include "served_backplane.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace hosttest {

namespace {

// The next line from `fd`, with what came after it kept in `buffered`;
// false at the end or after `limit`.
bool readBufferedLine(int fd, std::string& buffered, std::string& line,
                      std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::size_t nl = buffered.find('\n');
        if (nl != std::string::npos) {
            line = buffered.substr(0, nl);
            buffered.erase(0, nl + 1);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[4096];
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffered.append(chunk, static_cast<std::size_t>(n));
    }
}

} // namespace

Child::Child(const std::vector<std::string>& argv, bool withErrors) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(fds[1], 1);
        if (withErrors)
            ::dup2(fds[1], 2);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    if (out_ >= 0)
        ::close(out_);
}

bool Child::readLine(std::string& line, std::chrono::milliseconds limit) {
    return readBufferedLine(out_, buffered_, line, limit);
}

void Child::signal(int sig) {
    if (pid_ > 0)
        ::kill(pid_, sig);
}

int Child::wait() {
    if (pid_ <= 0)
        return -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Child::waitFor(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0) {
        int status = 0;
        pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            wait();
            return -2;
        }
        // A hang guard, not a measurement: look again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

RawClient::RawClient(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

RawClient::~RawClient() {
    if (fd_ >= 0)
        ::close(fd_);
}

void RawClient::endSending() {
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_WR);
}

bool RawClient::send(const std::string& text) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < text.size()) {
        ssize_t n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

std::size_t RawClient::sendSome(const std::string& text) {
    ssize_t n = ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

bool RawClient::readLine(std::string& line, std::chrono::milliseconds limit) {
    return fd_ >= 0 && readBufferedLine(fd_, buffered_, line, limit);
}

std::vector<std::string> RawClient::answer(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<std::string> lines;
    std::string line;
    while (readLine(line, std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now()))) {
        lines.push_back(line);
        if (line == "ok" || line.rfind("error:", 0) == 0)
            return lines;
    }
    return {};
}

bool RawClient::hungUp(std::chrono::milliseconds limit) {
    pollfd p{fd_, 0, 0}; // hang-ups and errors come without asking
    return fd_ < 0 || (::poll(&p, 1, static_cast<int>(limit.count())) > 0 &&
                       (p.revents & (POLLHUP | POLLERR)));
}

bool RawClient::closedByServer(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (fd_ >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[65536];
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return true;
    }
    return true;
}

ServedBackplane::ServedBackplane(const std::vector<std::string>& boards, const std::string& speed,
                                 bool withErrors) {
    char templ[] = "/tmp/boardhost-XXXXXX";
    if (!::mkdtemp(templ)) {
        ADD_FAILURE() << "no temporary directory";
        return;
    }
    dir_ = templ;
    socket_ = dir_ + "/bp.sock";
    std::vector<std::string> argv{BOARDSIM_PATH, "--listen", socket_, "--speed", speed};
    argv.insert(argv.end(), boards.begin(), boards.end());
    server_ = std::make_unique<Child>(argv, withErrors);
    // The socket appears once the boards are loaded: a bounded wait.
    for (int attempt = 0; attempt < 600 && !world_; ++attempt) {
        auto t = boardhost::SimTransport::connect(socket_);
        if (t)
            world_ = std::move(t).value();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (!world_)
        ADD_FAILURE() << "boardsim did not come up on " << socket_;
}

int ServedBackplane::stop(std::chrono::milliseconds limit) {
    stopped_ = true;
    world_.reset();
    if (!server_)
        return -1;
    server_->signal(SIGTERM);
    return server_->waitFor(limit);
}

ServedBackplane::~ServedBackplane() {
    if (!stopped_) {
        EXPECT_EQ(stop(), 0) << "boardsim --listen did not end cleanly";
    }
    // The server removes its socket when it ends.
    EXPECT_NE(::access(socket_.c_str(), F_OK), 0);
    ::rmdir(dir_.c_str());
}

std::vector<std::string> ServedBackplane::command(const std::string& line) {
    if (!world_) {
        ADD_FAILURE() << "no server for '" << line << "'";
        return {};
    }
    auto r = world_->command(line);
    if (!r) {
        ADD_FAILURE() << line << ": " << r.error().message;
        return {};
    }
    return *r;
}

} // namespace hosttest
