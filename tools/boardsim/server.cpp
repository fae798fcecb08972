#include "server.h"

#include "interpreter.h"
#include "pacer.h"
#include "reply.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace boardsim {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

// Longer lines are no commands; the client is dropped.
constexpr std::size_t kMaxLine = 64 * 1024;
// How often the world catches up while no command comes.
constexpr int kIdleMs = 10;
// Catching up runs in slices so that a slow world notices it falls behind.
constexpr sim::Time kSlice = sim::milliseconds(20);

std::int64_t wallNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One connected client: its own selected board and line numbers.
struct Session {
    Session(int fd, sim::Bench& bench) : fd(fd), interpreter(bench, out, err) {}
    ~Session() {
        if (fd >= 0)
            ::close(fd);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    int fd;
    std::string input;
    unsigned lines = 0;
    std::ostringstream out;
    std::ostringstream err;
    Interpreter interpreter;
};

bool sendAll(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void installSignals() {
    struct sigaction sa {};
    sa.sa_handler = requestStop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: poll returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// A socket left by a server that is gone is taken over; a live one is not.
bool claimPath(const std::string& path, const sockaddr_un& address) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return true;
    if (!S_ISSOCK(st.st_mode)) {
        std::cerr << "boardsim: " << path << " exists and is not a socket\n";
        return false;
    }
    int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool live = probe >= 0 &&
                ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (probe >= 0)
        ::close(probe);
    if (live) {
        std::cerr << "boardsim: another server listens on " << path << "\n";
        return false;
    }
    ::unlink(path.c_str());
    return true;
}

int listenOn(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        std::cerr << "boardsim: bad socket path '" << path << "'\n";
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (!claimPath(path, address))
        return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0) {
        std::cerr << "boardsim: cannot listen on " << path << ": " << std::strerror(errno) << "\n";
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

class Server {
public:
    Server(sim::Bench& bench, double speed, unsigned firstSlot)
        : bench_(bench), pacer_(speed, bench.now(), wallNow()), firstSlot_(firstSlot) {}

    void run(int listenFd) {
        while (!stopRequested) {
            std::vector<pollfd> fds{{listenFd, POLLIN, 0}};
            for (const auto& s : sessions_)
                fds.push_back({s->fd, POLLIN, 0});
            int n = ::poll(fds.data(), fds.size(), kIdleMs);
            catchUp();
            if (n <= 0)
                continue;
            // Sessions first: a new one has nothing to read yet.
            for (std::size_t i = fds.size(); i-- > 1;) {
                if (fds[i].revents)
                    serveInput(*sessions_[i - 1]);
            }
            sessions_.erase(std::remove_if(sessions_.begin(), sessions_.end(),
                                           [](const auto& s) { return s->fd < 0; }),
                            sessions_.end());
            if (fds[0].revents & POLLIN)
                accept(listenFd);
        }
    }

private:
    void accept(int listenFd) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        auto s = std::make_unique<Session>(fd, bench_);
        s->interpreter.select(firstSlot_);
        sessions_.push_back(std::move(s));
    }

    // Reads what the client sent and answers every whole line.
    void serveInput(Session& s) {
        char chunk[4096];
        ssize_t n = ::read(s.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            return;
        if (n <= 0) {
            drop(s);
            return;
        }
        s.input.append(chunk, static_cast<std::size_t>(n));
        std::size_t nl;
        while (s.fd >= 0 && (nl = s.input.find('\n')) != std::string::npos) {
            std::string line = s.input.substr(0, nl);
            s.input.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            execute(s, line);
        }
        if (s.fd >= 0 && s.input.size() > kMaxLine)
            drop(s);
    }

    void execute(Session& s, const std::string& line) {
        catchUp();
        bool ok = s.interpreter.execute(line, ++s.lines);
        std::string error = s.err.str();
        if (!ok && error.empty())
            error = "failed";
        // A command that succeeds may still warn; only a failure is an error.
        std::string text = reply(s.out.str(), ok ? "" : error);
        s.out.str("");
        s.err.str("");
        if (!sendAll(s.fd, text))
            drop(s);
    }

    void drop(Session& s) {
        ::close(s.fd);
        s.fd = -1;
    }

    // Runs the world up to where the wall clock says it should be now; the
    // clock moves on meanwhile, and the next call takes up the rest.
    void catchUp() {
        sim::Time target = pacer_.target(wallNow());
        while (!bench_.failed() && bench_.now() < target) {
            bench_.run(std::min(target - bench_.now(), kSlice));
            if (pacer_.behind(bench_.now(), wallNow()) > pacer_.maxLag()) {
                if (!warnedSlow_)
                    std::cerr << "boardsim: the simulation cannot keep up with --speed "
                              << pacer_.speed() << "; it runs as fast as it can\n";
                warnedSlow_ = true;
                pacer_.restart(bench_.now(), wallNow());
                return;
            }
        }
        if (bench_.failed())
            reportFailure();
    }

    void reportFailure() {
        if (!reportedFailure_)
            std::cerr << "boardsim: the simulation stopped: " << bench_.error() << "\n";
        reportedFailure_ = true;
    }

    sim::Bench& bench_;
    Pacer pacer_;
    unsigned firstSlot_;
    std::vector<std::unique_ptr<Session>> sessions_;
    bool warnedSlow_ = false;
    bool reportedFailure_ = false;
};

} // namespace

int serve(sim::Bench& bench, const std::string& socketPath, double speed, unsigned firstSlot) {
    installSignals();
    int fd = listenOn(socketPath);
    if (fd < 0)
        return 1;
    std::cerr << "boardsim: listening on " << socketPath << "\n";
    Server server(bench, speed, firstSlot);
    server.run(fd);
    ::close(fd);
    ::unlink(socketPath.c_str());
    return 0;
}

} // namespace boardsim
