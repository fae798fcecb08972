// The transport on a Linux I2C adapter, /dev/i2c-N, through the kernel's
// I2C_RDWR ioctl: every transfer is one combined transaction, as
// i2ctransfer makes it.
#pragma once

#include "boardhost/transport.h"

#include <memory>
#include <string>
#include <vector>

struct i2c_msg;

namespace boardhost {

// The system calls the transport makes; tests stand in for the kernel here.
// Each returns what the call returns, or -errno when it fails.
class Syscalls {
public:
    virtual ~Syscalls() = default;
    virtual int open(const char* path, int flags) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual int close(int fd) = 0;
};

Syscalls& kernelSyscalls();

class LinuxI2c : public Transport {
public:
    // Opens the adapter and checks that it does plain I2C messages.
    static Result<std::unique_ptr<LinuxI2c>> open(const std::string& device,
                                                  Syscalls& sys = kernelSyscalls());
    ~LinuxI2c() override;
    LinuxI2c(const LinuxI2c&) = delete;
    LinuxI2c& operator=(const LinuxI2c&) = delete;

    Status transfer(std::vector<Message>& messages) override;
    std::string name() const override { return device_; }

private:
    LinuxI2c(Syscalls& sys, int fd, std::string device)
        : sys_(sys), fd_(fd), device_(std::move(device)) {}

    Syscalls& sys_;
    int fd_;
    std::string device_;
};

// The kernel's view of a transfer: read messages get room for their bytes,
// and every buffer points into `messages`, which must outlive the result.
// Empty with `why` set when the kernel would refuse the transfer.
std::vector<i2c_msg> kernelMessages(std::vector<Message>& messages, std::string& why);

// What a failed I2C_RDWR (-errno) means for the host.
Error transferError(int negativeErrno, const std::vector<Message>& messages,
                    const std::string& device);

} // namespace boardhost
