#include "listen_socket.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace boardsim {

namespace {

// Room for every client that connects at once.
constexpr int kBacklog = 64;

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

} // namespace

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
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // The file gets its mode at bind from the umask: no moment where others
    // may connect, whatever the caller's umask is.
    mode_t umask = ::umask(0177);
    bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::umask(umask);
    if (!bound || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, kBacklog) != 0) {
        std::cerr << "boardsim: cannot listen on " << path << ": " << std::strerror(errno) << "\n";
        if (bound)
            ::unlink(path.c_str());
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace boardsim
