#include "server.h"

#include "client.h"
#include "interpreter.h"
#include "listen_socket.h"
#include "pacer.h"
#include "reply.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace boardsim {

namespace {

volatile std::sig_atomic_t stopRequested = 0;
int wakeFd = -1; // the write end of the self-pipe

void requestStop(int) {
    stopRequested = 1;
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd, &byte, 1);
}

// How often the world catches up while no command comes.
constexpr int kIdleMs = 10;
// The world runs in slices of virtual time, and at most this much wall time
// at once before clients are served again.
constexpr sim::Time kSlice = sim::milliseconds(5);
constexpr std::int64_t kWorldBudgetNs = 5'000'000;
// More connections than this are refused.
constexpr std::size_t kMaxClients = 64;

std::int64_t wallNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A client with its own selected board and line numbers; a `run` it sent
// is answered when the world has got there.
struct Session {
    Session(int fd, unsigned id, sim::Bench& bench)
        : client(fd, id), interpreter(bench, out, err) {}

    Client client;
    unsigned lines = 0;
    std::ostringstream out;
    std::ostringstream err;
    Interpreter interpreter;
    std::optional<sim::Time> runUntil;
};

class Server {
public:
    Server(sim::Bench& bench, double speed, unsigned firstSlot)
        : bench_(bench), pacer_(speed, bench.now(), wallNow()), firstSlot_(firstSlot) {}

    void run(int listenFd, int wakeRead) {
        while (!stopRequested) {
            std::vector<pollfd> fds{{wakeRead, POLLIN, 0}, {listenFd, POLLIN, 0}};
            for (const auto& s : sessions_) {
                short events = 0;
                if (s->client.wantsInput())
                    events |= POLLIN;
                if (s->client.hasOutput())
                    events |= POLLOUT;
                fds.push_back({s->client.fd(), events, 0});
            }
            int n = ::poll(fds.data(), fds.size(), busy() ? 0 : kIdleMs);
            if (stopRequested)
                break;
            std::int64_t wall = wallNow();
            for (std::size_t i = 2; n > 0 && i < fds.size(); ++i) {
                Client& c = sessions_[i - 2]->client;
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                    c.readInput();
                if (fds[i].revents & POLLOUT)
                    c.flush(wall);
            }
            if (n > 0 && (fds[1].revents & POLLIN))
                accept(listenFd);
            runLines();
            advanceWorld();
            wall = wallNow();
            for (const auto& s : sessions_) {
                if (!s->runUntil)
                    s->client.checkProgress(wall);
            }
            sessions_.erase(std::remove_if(sessions_.begin(), sessions_.end(),
                                           [](const auto& s) { return !s->client.open(); }),
                            sessions_.end());
        }
    }

private:
    // Work waits that needs no event: lines to run, runs to finish, a world
    // behind the clock.
    bool busy() const {
        for (const auto& s : sessions_) {
            if (s->runUntil)
                return true;
        }
        return pending_ || (!bench_.failed() && bench_.now() < pacer_.target(wallNow()));
    }

    void accept(int listenFd) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        unsigned id = ++clients_;
        if (sessions_.size() >= kMaxClients) {
            std::cerr << "boardsim: client " << id << " refused: " << kMaxClients
                      << " clients are connected\n";
            ::close(fd);
            return;
        }
        auto s = std::make_unique<Session>(fd, id, bench_);
        s->interpreter.select(firstSlot_);
        Session* session = s.get();
        // A run goes on in slices, between other clients' commands.
        s->interpreter.deferRuns(
            [this, session](sim::Time d) { session->runUntil = bench_.now() + d; });
        sessions_.push_back(std::move(s));
    }

    // One line of every client that has one, in turn, so that a client
    // with a long script does not hold up the others.
    void runLines() {
        pending_ = false;
        std::string line;
        for (const auto& s : sessions_) {
            if (s->runUntil || !s->client.nextLine(line))
                continue;
            execute(*s, line);
            pending_ = true;
        }
    }

    void execute(Session& s, const std::string& line) {
        bool ok = s.interpreter.execute(line, ++s.lines);
        if (ok && s.runUntil)
            return; // answered when the world gets there
        std::string error = s.err.str();
        if (!ok && error.empty())
            error = "failed";
        // A command that succeeds may still warn; only a failure is an error.
        answer(s, reply(s.out.str(), ok ? "" : error));
    }

    void answer(Session& s, const std::string& text) {
        s.out.str("");
        s.err.str("");
        s.client.send(text, wallNow());
    }

    // Runs the world towards the wall clock's time and the earliest run a
    // client waits for, for a bounded stretch of wall time.
    void advanceWorld() {
        std::int64_t until = wallNow() + kWorldBudgetNs;
        for (;;) {
            finishRuns();
            if (bench_.failed()) {
                reportFailure();
                return;
            }
            std::int64_t wall = wallNow();
            sim::Time goal = std::max(pacer_.target(wall), earliestRun());
            if (bench_.now() >= goal || stopRequested || wall >= until)
                break;
            bench_.run(std::min(goal - bench_.now(), kSlice));
        }
        std::int64_t wall = wallNow();
        if (pacer_.behind(bench_.now(), wall) > pacer_.maxLag()) {
            if (!warnedSlow_)
                std::cerr << "boardsim: the simulation cannot keep up with --speed "
                          << pacer_.speed() << "; it runs as fast as it can\n";
            warnedSlow_ = true;
            pacer_.restart(bench_.now(), wall);
        }
    }

    sim::Time earliestRun() const {
        sim::Time t = 0;
        bool any = false;
        for (const auto& s : sessions_) {
            if (s->runUntil && s->client.open() && (!any || *s->runUntil < t)) {
                t = *s->runUntil;
                any = true;
            }
        }
        return t;
    }

    void finishRuns() {
        for (const auto& s : sessions_) {
            if (!s->runUntil || (!bench_.failed() && bench_.now() < *s->runUntil))
                continue;
            s->runUntil.reset();
            answer(*s, reply("", bench_.failed() ? "line " + std::to_string(s->lines) +
                                                       ": the simulation stopped: " + bench_.error()
                                                 : ""));
        }
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
    unsigned clients_ = 0;
    bool pending_ = false;
    bool warnedSlow_ = false;
    bool reportedFailure_ = false;
};

} // namespace

int serve(sim::Bench& bench, const std::string& socketPath, double speed, unsigned firstSlot) {
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::cerr << "boardsim: no pipe for signals\n";
        return 1;
    }
    wakeFd = wake[1];
    struct sigaction sa {};
    sa.sa_handler = requestStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    int fd = listenOn(socketPath);
    if (fd < 0)
        return 1;
    std::cerr << "boardsim: listening on " << socketPath << "\n";
    {
        Server server(bench, speed, firstSlot);
        server.run(fd, wake[0]);
    }
    ::close(fd);
    ::unlink(socketPath.c_str());
    return 0;
}

} // namespace boardsim
