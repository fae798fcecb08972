// boardctl as a program against peers that never answer, answer without
// end, or go away: signals end it, its timeout and line limit hold, and it
// says what happened in one line.
#include "served_backplane.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using hosttest::Child;
using hosttest::ServedBackplane;
using namespace std::chrono_literals;

// A server on a socket of its own that takes one connection and, once it
// has a whole command, stays silent or sends one endless line.
class Peer {
public:
    enum class Kind { Silent, Endless };

    explicit Peer(Kind kind) : kind_(kind) {
        char templ[] = "/tmp/boardctl-peer-XXXXXX";
        dir_ = ::mkdtemp(templ) ? templ : "/tmp";
        path_ = dir_ + "/peer.sock";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listen_, 1), 0);
        thread_ = std::thread([this] { serve(); });
    }
    ~Peer() {
        ::shutdown(listen_, SHUT_RDWR);
        thread_.join();
        ::close(listen_);
        ::unlink(path_.c_str());
        ::rmdir(dir_.c_str());
    }

    const std::string& path() const { return path_; }
    // Waits (bounded) until the client's first command has come.
    bool heard(std::chrono::milliseconds limit = 20s) const {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!heard_ && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        return heard_;
    }

private:
    void serve() {
        int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        char chunk[4096];
        ssize_t n;
        while (!heard_ && (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
            heard_ = std::memchr(chunk, '\n', static_cast<std::size_t>(n)) != nullptr;
        if (kind_ == Kind::Endless) {
            std::memset(chunk, 'x', sizeof chunk);
            while (::send(fd, chunk, sizeof chunk, MSG_NOSIGNAL) > 0) {
            }
        } else {
            while (::recv(fd, chunk, sizeof chunk, 0) > 0) {
            }
        }
        ::close(fd);
    }

    Kind kind_;
    std::string dir_;
    std::string path_;
    int listen_ = -1;
    std::atomic<bool> heard_{false};
    std::thread thread_;
};

std::string rest(Child& c) {
    std::string all, line;
    while (c.readLine(line, 20s))
        all += line + "\n";
    return all;
}

TEST(BoardctlPeer, SigintAndSigtermEndACommandWaitingForItsAnswer) {
    for (int sig : {SIGINT, SIGTERM}) {
        Peer peer(Peer::Kind::Silent);
        Child scan({BOARDCTL_PATH, "--sim", peer.path(), "--timeout", "1000", "scan"}, true);
        ASSERT_TRUE(peer.heard());
        scan.signal(sig);
        EXPECT_EQ(scan.waitFor(20s), 128 + sig) << "signal " << sig;
        EXPECT_EQ(rest(scan), "boardctl: interrupted\n");
    }
}

TEST(BoardctlPeer, NoAnswerWithinTheTimeoutAndEndlessLinesAreErrors) {
    Peer silent(Peer::Kind::Silent);
    Child waiting({BOARDCTL_PATH, "--sim", silent.path(), "--timeout", "0.3", "scan"}, true);
    EXPECT_EQ(waiting.waitFor(20s), 1);
    EXPECT_EQ(rest(waiting), "boardctl: sim:" + silent.path() + ": no answer within 300 ms\n");

    Peer endless(Peer::Kind::Endless);
    Child flooded({BOARDCTL_PATH, "--sim", endless.path(), "scan"}, true);
    EXPECT_EQ(flooded.waitFor(20s), 1);
    EXPECT_EQ(rest(flooded),
              "boardctl: sim:" + endless.path() + ": a reply line longer than 65536 bytes\n");
}

TEST(BoardctlPeer, WatchSaysInOneLineThatTheServerWent) {
    ServedBackplane served({"valdor@2"}, "0");
    served.command("run 300ms");
    Child watch({BOARDCTL_PATH, "--sim", served.socket(), "watch", "0x25", "--interval", "5"},
                true);
    std::string line;
    ASSERT_TRUE(watch.readLine(line, 20s));
    EXPECT_NE(line.find("in 0x0"), std::string::npos) << line;
    EXPECT_EQ(served.stop(20s), 0);
    EXPECT_EQ(watch.waitFor(20s), 1);
    std::string after = rest(watch);
    EXPECT_NE(after.find("boardctl: sim:" + served.socket() + ": boardsim closed the connection\n"),
              std::string::npos)
        << after;
}

} // namespace
