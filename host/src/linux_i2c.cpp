#include "boardhost/linux_i2c.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace boardhost {

namespace {

// The kernel's limits for one I2C_RDWR call (i2c-dev).
constexpr std::size_t kMaxMessages = I2C_RDWR_IOCTL_MAX_MSGS;
constexpr std::size_t kMaxLength = 8192;

class Kernel : public Syscalls {
public:
    int open(const char* path, int flags) override {
        int fd = ::open(path, flags | O_CLOEXEC);
        return fd < 0 ? -errno : fd;
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        int r = ::ioctl(fd, request, arg);
        return r < 0 ? -errno : r;
    }
    int close(int fd) override { return ::close(fd) < 0 ? -errno : 0; }
};

std::string addresses(const std::vector<Message>& messages) {
    std::string s;
    for (const Message& m : messages) {
        std::string a = hexByte(m.address);
        if (s.find(a) == std::string::npos)
            s += (s.empty() ? "" : ", ") + a;
    }
    return s;
}

} // namespace

Syscalls& kernelSyscalls() {
    static Kernel kernel;
    return kernel;
}

std::vector<i2c_msg> kernelMessages(std::vector<Message>& messages, std::string& why) {
    std::vector<i2c_msg> out;
    if (messages.empty() || messages.size() > kMaxMessages) {
        why = std::to_string(messages.size()) + " messages in one transfer (1.." +
              std::to_string(kMaxMessages) + ")";
        return out;
    }
    for (Message& m : messages) {
        if (m.address > 0x7F) {
            why = "address " + hexByte(m.address) + " is not a 7-bit address";
            out.clear();
            return out;
        }
        if (m.read)
            m.data.assign(m.length, 0);
        if (m.data.size() > kMaxLength || (m.read && m.length == 0)) {
            why = "a message of " + std::to_string(m.data.size()) + " bytes";
            out.clear();
            return out;
        }
        i2c_msg k{};
        k.addr = m.address;
        k.flags = m.read ? I2C_M_RD : 0;
        k.len = static_cast<__u16>(m.data.size());
        k.buf = m.data.empty() ? nullptr : m.data.data();
        out.push_back(k);
    }
    return out;
}

Error transferError(int negativeErrno, const std::vector<Message>& messages,
                    const std::string& device) {
    int err = -negativeErrno;
    std::string what = std::strerror(err);
    switch (err) {
    case ENXIO:     // the address was not acknowledged
    case EREMOTEIO: // a byte was not acknowledged (some adapters say so for both)
    case ENODEV:
        return makeError(Error::Kind::Nack,
                         "no acknowledge from " + addresses(messages) + " on " + device);
    case ETIMEDOUT:
    case EBUSY:
    case EAGAIN:
        return makeError(Error::Kind::Bus, device + ": the bus is busy or stuck (" + what + ")");
    case EOPNOTSUPP:
        return makeError(Error::Kind::Bus,
                         device + ": the adapter cannot do this transfer (" + what + ")");
    default:
        break;
    }
    return makeError(Error::Kind::Bus, device + ": transfer failed (" + what + ")");
}

Result<std::unique_ptr<LinuxI2c>> LinuxI2c::open(const std::string& device, Syscalls& sys) {
    int fd = sys.open(device.c_str(), O_RDWR);
    if (fd < 0)
        return makeError(Error::Kind::Bus, "cannot open " + device + ": " + std::strerror(-fd) +
                                               (fd == -ENOENT ? " (is i2c-dev loaded?)" : ""));
    unsigned long funcs = 0;
    int r = sys.ioctl(fd, I2C_FUNCS, &funcs);
    if (r < 0 || !(funcs & I2C_FUNC_I2C)) {
        sys.close(fd);
        return makeError(Error::Kind::Bus,
                         device + " is not an I2C adapter that takes combined transfers" +
                             (r < 0 ? std::string(" (") + std::strerror(-r) + ")" : ""));
    }
    return std::unique_ptr<LinuxI2c>(new LinuxI2c(sys, fd, device));
}

LinuxI2c::~LinuxI2c() {
    sys_.close(fd_);
}

Status LinuxI2c::transfer(std::vector<Message>& messages) {
    std::string why;
    std::vector<i2c_msg> k = kernelMessages(messages, why);
    if (k.empty())
        return makeError(Error::Kind::BadArgument, device_ + ": cannot send " + why);
    i2c_rdwr_ioctl_data data{k.data(), static_cast<__u32>(k.size())};
    int r = sys_.ioctl(fd_, I2C_RDWR, &data);
    if (r < 0)
        return transferError(r, messages, device_);
    if (static_cast<std::size_t>(r) != k.size())
        return makeError(Error::Kind::ShortRead, device_ + ": the adapter moved " +
                                                     std::to_string(r) + " of " +
                                                     std::to_string(k.size()) + " messages");
    return Done{};
}

} // namespace boardhost
