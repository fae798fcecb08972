// The Linux transport against a stand-in for the kernel: the I2C_RDWR
// messages it builds and what it makes of the kernel's errors.
#include "boardhost/linux_i2c.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>

namespace {

using boardhost::Error;
using boardhost::Message;

struct SentMessage {
    unsigned addr;
    unsigned flags;
    std::vector<std::uint8_t> bytes; // written, or the room a read got
};

class FakeKernel : public boardhost::Syscalls {
public:
    int open(const char* path, int flags) override {
        opened = path;
        openFlags = flags;
        return openResult;
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        EXPECT_EQ(fd, openResult);
        if (request == I2C_FUNCS) {
            *static_cast<unsigned long*>(arg) = funcs;
            return 0;
        }
        EXPECT_EQ(request, static_cast<unsigned long>(I2C_RDWR));
        auto* data = static_cast<i2c_rdwr_ioctl_data*>(arg);
        sent.clear();
        for (unsigned i = 0; i < data->nmsgs; ++i) {
            i2c_msg& m = data->msgs[i];
            SentMessage s{m.addr, m.flags, {}};
            if (m.flags & I2C_M_RD) {
                s.bytes.assign(m.len, 0);
                for (unsigned k = 0; k < m.len; ++k)
                    m.buf[k] = static_cast<std::uint8_t>(answer + k);
            } else {
                s.bytes.assign(m.buf, m.buf + m.len);
            }
            sent.push_back(s);
        }
        return transferResult < 0 ? transferResult : static_cast<int>(data->nmsgs) - missing;
    }
    int close(int fd) override {
        closed.push_back(fd);
        return 0;
    }

    int openResult = 7;
    unsigned long funcs = I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL;
    int transferResult = 0; // -errno to fail
    int missing = 0;        // messages the adapter did not move
    std::uint8_t answer = 0x40;
    std::string opened;
    int openFlags = 0;
    std::vector<SentMessage> sent;
    std::vector<int> closed;
};

TEST(LinuxI2c, CombinedWriteThenReadIsOneIoctl) {
    FakeKernel kernel;
    auto bus = boardhost::LinuxI2c::open("/dev/i2c-1", kernel);
    ASSERT_TRUE(bus.ok()) << bus.error().message;
    EXPECT_EQ(kernel.opened, "/dev/i2c-1");
    EXPECT_EQ(kernel.openFlags & O_ACCMODE, O_RDWR);

    std::vector<Message> messages{Message::write(0x25, {0xFD}), Message::readBytes(0x25, 2)};
    ASSERT_TRUE((*bus)->transfer(messages).ok());
    ASSERT_EQ(kernel.sent.size(), 2u);
    EXPECT_EQ(kernel.sent[0].addr, 0x25u);
    EXPECT_EQ(kernel.sent[0].flags, 0u);
    EXPECT_EQ(kernel.sent[0].bytes, (std::vector<std::uint8_t>{0xFD}));
    EXPECT_EQ(kernel.sent[1].addr, 0x25u);
    EXPECT_EQ(kernel.sent[1].flags, static_cast<unsigned>(I2C_M_RD));
    EXPECT_EQ(kernel.sent[1].bytes.size(), 2u);
    EXPECT_EQ(messages[1].data, (std::vector<std::uint8_t>{0x40, 0x41}));

    bus.value().reset();
    EXPECT_EQ(kernel.closed, (std::vector<int>{7}));
}

TEST(LinuxI2c, KernelErrorsBecomeHostErrors) {
    struct Case {
        int err;
        Error::Kind kind;
        const char* words;
    };
    const Case cases[] = {
        {ENXIO, Error::Kind::Nack, "no acknowledge from 0x25 on /dev/i2c-1"},
        {EREMOTEIO, Error::Kind::Nack, "no acknowledge from 0x25 on /dev/i2c-1"},
        {ETIMEDOUT, Error::Kind::Bus, "busy or stuck"},
        {EAGAIN, Error::Kind::Bus, "busy or stuck"},
        {EOPNOTSUPP, Error::Kind::Bus, "cannot do this transfer"},
        {EIO, Error::Kind::Bus, "transfer failed (Input/output error)"},
    };
    for (const Case& c : cases) {
        FakeKernel kernel;
        kernel.transferResult = -c.err;
        auto bus = boardhost::LinuxI2c::open("/dev/i2c-1", kernel);
        ASSERT_TRUE(bus.ok());
        std::vector<Message> messages{Message::write(0x25, {0x50, 0x01, 0x00})};
        boardhost::Status s = (*bus)->transfer(messages);
        ASSERT_FALSE(s.ok()) << c.err;
        EXPECT_EQ(s.error().kind, c.kind) << c.err;
        EXPECT_NE(s.error().message.find(c.words), std::string::npos) << s.error().message;
    }
}

TEST(LinuxI2c, FewerMessagesMovedIsAShortRead) {
    FakeKernel kernel;
    kernel.missing = 1;
    auto bus = boardhost::LinuxI2c::open("/dev/i2c-1", kernel);
    ASSERT_TRUE(bus.ok());
    std::vector<Message> messages{Message::write(0x25, {0x70}), Message::readBytes(0x25, 2)};
    boardhost::Status s = (*bus)->transfer(messages);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().kind, Error::Kind::ShortRead);
}

TEST(LinuxI2c, AdaptersThatCannotBeUsedAreRefusedAtOpen) {
    FakeKernel missing;
    missing.openResult = -ENOENT;
    auto noDevice = boardhost::LinuxI2c::open("/dev/i2c-9", missing);
    ASSERT_FALSE(noDevice.ok());
    EXPECT_EQ(noDevice.error().message,
              "cannot open /dev/i2c-9: No such file or directory (is i2c-dev loaded?)");

    FakeKernel smbusOnly;
    smbusOnly.funcs = I2C_FUNC_SMBUS_BYTE_DATA;
    auto refused = boardhost::LinuxI2c::open("/dev/i2c-1", smbusOnly);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, Error::Kind::Bus);
    EXPECT_EQ(smbusOnly.closed, (std::vector<int>{7}));
}

TEST(LinuxI2c, TransfersTheKernelWouldRefuseAreNotSent) {
    std::vector<std::vector<Message>> refused = {
        {},
        std::vector<Message>(I2C_RDWR_IOCTL_MAX_MSGS + 1, Message::write(0x25, {0x00})),
        {Message::readBytes(0x25, 0)},
        {Message::write(0x80, {0x00})},
        {Message::readBytes(0x25, 8193)},
    };
    for (auto& messages : refused) {
        FakeKernel kernel;
        auto bus = boardhost::LinuxI2c::open("/dev/i2c-1", kernel);
        ASSERT_TRUE(bus.ok());
        boardhost::Status s = (*bus)->transfer(messages);
        ASSERT_FALSE(s.ok()) << messages.size();
        EXPECT_EQ(s.error().kind, Error::Kind::BadArgument);
        EXPECT_TRUE(kernel.sent.empty());
    }
}

} // namespace
