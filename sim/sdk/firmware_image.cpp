#include "sdk/firmware_image.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sim {

FirmwareImage::FirmwareImage(std::string path) : path_(std::move(path)) {
    std::ifstream in(path_, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read firmware image " + path_);
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::size_t slash = path_.find_last_of('/');
    name_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

FirmwareImage::~FirmwareImage() {
    unload(current_);
}

void FirmwareImage::unload(Copy& copy) {
    if (copy.handle)
        dlclose(copy.handle);
    if (copy.fd >= 0)
        ::close(copy.fd);
    copy = Copy{};
}

FirmwareImage::Copy FirmwareImage::loadCopy() {
    const int fd = memfd_create(name_.c_str(), MFD_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("memfd_create failed for " + path_);
    std::size_t done = 0;
    while (done < bytes_.size()) {
        ssize_t n = ::write(fd, bytes_.data() + done, bytes_.size() - done);
        if (n <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot copy firmware image " + path_);
        }
        done += static_cast<std::size_t>(n);
    }
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    void* handle = dlopen(procPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        ::close(fd);
        const char* err = dlerror();
        throw std::runtime_error("cannot load firmware image " + path_ + ": " +
                                 (err ? err : "unknown error"));
    }
    return Copy{handle, fd};
}

void FirmwareImage::loadFresh() {
    Copy fresh = loadCopy();
    auto entry = reinterpret_cast<int (*)()>(dlsym(fresh.handle, "main"));
    if (!entry) {
        unload(fresh);
        throw std::runtime_error("firmware image " + path_ + " has no main");
    }
    unload(current_);
    current_ = fresh;
    main_ = entry;
    ++copies_;
}

int FirmwareImage::runMain() {
    if (!main_)
        loadFresh();
    return main_();
}

void* FirmwareImage::symbol(const char* name) const {
    return current_.handle ? dlsym(current_.handle, name) : nullptr;
}

} // namespace sim
