#include "boardhost/sim_transport.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace boardhost {

namespace {

Error lost(const std::string& path, const std::string& why) {
    return makeError(Error::Kind::Bus, "sim:" + path + ": " + why);
}

// "0x00 0x58" -> bytes; false for anything else.
bool parseBytes(const std::string& line, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    const char* p = line.c_str();
    while (*p) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        if (p[0] != '0' || p[1] != 'x')
            return false;
        char* end = nullptr;
        unsigned long v = std::strtoul(p + 2, &end, 16);
        if (end == p + 2 || v > 0xFF || (*end != ' ' && *end != '\0'))
            return false;
        bytes.push_back(static_cast<std::uint8_t>(v));
        p = end;
    }
    return true;
}

} // namespace

std::string i2cCommand(const std::vector<Message>& messages) {
    std::string s = "i2c";
    for (const Message& m : messages) {
        s += std::string(" ") + (m.read ? "r" : "w") +
             std::to_string(m.read ? m.length : m.data.size()) + "@" + hexByte(m.address);
        if (!m.read) {
            for (std::uint8_t b : m.data)
                s += " " + hexByte(b);
        }
    }
    return s;
}

Status takeI2cReply(const std::vector<std::string>& lines, std::vector<Message>& messages,
                    const std::string& busName) {
    for (const std::string& line : lines) {
        if (line == "nack") {
            std::string who;
            for (const Message& m : messages) {
                if (who.find(hexByte(m.address)) == std::string::npos)
                    who += (who.empty() ? "" : ", ") + hexByte(m.address);
            }
            return makeError(Error::Kind::Nack, "no acknowledge from " + who + " on " + busName);
        }
    }
    std::size_t next = 0;
    for (Message& m : messages) {
        if (!m.read)
            continue;
        if (next >= lines.size())
            return makeError(Error::Kind::ShortRead,
                             busName + ": no bytes for a read of " + std::to_string(m.length));
        if (!parseBytes(lines[next], m.data))
            return makeError(Error::Kind::Bus,
                             busName + ": unexpected reply '" + lines[next] + "'");
        ++next;
        if (m.data.size() != m.length)
            return makeError(Error::Kind::ShortRead,
                             busName + ": " + std::to_string(m.data.size()) + " of " +
                                 std::to_string(m.length) + " bytes from " + hexByte(m.address));
    }
    if (next != lines.size())
        return makeError(Error::Kind::Bus, busName + ": unexpected reply '" + lines[next] + "'");
    return Done{};
}

bool isReplyEnd(const std::string& line, std::string& error) {
    if (line == "ok")
        return true;
    if (line.compare(0, 6, "error:") == 0) {
        error = line.substr(line.size() > 6 && line[6] == ' ' ? 7 : 6);
        if (error.empty())
            error = "failed";
        return true;
    }
    return false;
}

std::string escapeReplyLine(const std::string& line) {
    std::string ignored;
    bool needs = (!line.empty() && line[0] == ' ') || isReplyEnd(line, ignored);
    return needs ? " " + line : line;
}

std::string unescapeReplyLine(const std::string& line) {
    return !line.empty() && line[0] == ' ' ? line.substr(1) : line;
}

Result<std::unique_ptr<SimTransport>> SimTransport::connect(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        return lost(socketPath, "the socket path is too long");
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return lost(socketPath, std::strerror(errno));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        int err = errno;
        ::close(fd);
        // Only a missing or dead socket means no server.
        const char* hint = err == ENOENT || err == ECONNREFUSED ? " (is boardsim --listen running?)"
                           : err == EACCES                      ? " (the socket is another user's)"
                                                                : "";
        return lost(socketPath, std::string("cannot connect: ") + std::strerror(err) + hint);
    }
    return std::unique_ptr<SimTransport>(new SimTransport(fd, socketPath));
}

SimTransport::~SimTransport() {
    ::close(fd_);
}

Error SimTransport::closed() const {
    return lost(path_, "boardsim closed the connection");
}

Status SimTransport::await(short events, std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    for (;;) {
        if (interrupt_ && interrupt_->load())
            return makeError(Error::Kind::Bus, "interrupted");
        auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return lost(path_, "no answer within " + std::to_string(timeout_.count()) + " ms");
        // Short waits: a signal that comes just before poll is seen soon.
        pollfd p{fd_, events, 0};
        int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (n > 0)
            return Done{};
        if (n < 0 && errno != EINTR)
            return lost(path_, std::strerror(errno));
    }
}

Result<std::string> SimTransport::readLine(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        std::size_t nl = buffered_.find('\n');
        if (nl != std::string::npos) {
            std::string line = buffered_.substr(0, nl);
            buffered_.erase(0, nl + 1);
            return line;
        }
        if (buffered_.size() > kMaxReplyLine)
            return lost(path_,
                        "a reply line longer than " + std::to_string(kMaxReplyLine) + " bytes");
        Status ready = await(POLLIN, deadline);
        if (!ready)
            return ready.error();
        char chunk[4096];
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0 && errno == ECONNRESET)
            return closed();
        if (n < 0)
            return lost(path_, std::strerror(errno));
        if (n == 0)
            return closed();
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

Result<std::vector<std::string>> SimTransport::command(const std::string& line) {
    if (line.find('\n') != std::string::npos)
        return makeError(Error::Kind::BadArgument, "one command at a time: '" + line + "'");
    if (broken_)
        return *broken_;
    auto r = exchange(line);
    if (!r && r.error().kind == Error::Kind::Bus)
        broken_ = r.error();
    return r;
}

Result<std::vector<std::string>> SimTransport::exchange(const std::string& line) {
    auto deadline = std::chrono::steady_clock::now() + timeout_;
    std::string text = line + "\n";
    std::size_t sent = 0;
    while (sent < text.size()) {
        Status ready = await(POLLOUT, deadline);
        if (!ready)
            return ready.error();
        ssize_t n =
            ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0 && (errno == EPIPE || errno == ECONNRESET))
            return closed();
        if (n < 0)
            return lost(path_, std::strerror(errno));
        sent += static_cast<std::size_t>(n);
    }
    std::vector<std::string> lines;
    std::size_t size = 0;
    for (;;) {
        auto l = readLine(deadline);
        if (!l)
            return l.error();
        std::string error;
        if (isReplyEnd(*l, error)) {
            if (!error.empty())
                return makeError(Error::Kind::BadArgument, error);
            return lines;
        }
        size += l->size() + 1;
        if (size > kMaxReply)
            return lost(path_, "an answer longer than " + std::to_string(kMaxReply) + " bytes");
        lines.push_back(unescapeReplyLine(*l));
    }
}

Status SimTransport::transfer(std::vector<Message>& messages) {
    auto lines = command(i2cCommand(messages));
    if (!lines && lines.error().kind == Error::Kind::BadArgument)
        return lost(path_, lines.error().message);
    if (!lines)
        return lines.error();
    return takeI2cReply(*lines, messages, name());
}

} // namespace boardhost
