// A firmware image built as a shared object, loaded so that every power-on
// and every reset starts it with fresh static data.
//
// Why a private copy per boot: dlopen() of a path that is already loaded
// returns the loaded object, statics and all. A reset on the chip brings
// every static back to its initial value and runs the static constructors
// again; loading a new copy gives exactly that. Each copy is written to its
// own memfd, so the loader sees a new file (new inode) every time and maps
// fresh data and bss; RTLD_LOCAL keeps the copies' symbols apart. The loader
// also knows a loaded object by the path it was opened with, so each copy
// keeps its descriptor, and with it its /proc/self/fd path, while it is
// loaded. The old copy is unloaded once the reset has taken every task and
// handler with it.
#pragma once

#include <string>
#include <vector>

namespace sim {

class FirmwareImage {
public:
    // Reads the image file; throws std::runtime_error when it cannot.
    explicit FirmwareImage(std::string path);
    ~FirmwareImage();
    FirmwareImage(const FirmwareImage&) = delete;
    FirmwareImage& operator=(const FirmwareImage&) = delete;

    const std::string& path() const { return path_; }

    // Maps a fresh copy, makes it the current one and unloads the previous
    // copy (nothing may run in it any more). Throws std::runtime_error when
    // the copy cannot be loaded or has no main.
    void loadFresh();
    bool loaded() const { return current_.handle != nullptr; }
    // Runs main of the current copy.
    int runMain();
    // A symbol of the current copy, or null.
    void* symbol(const char* name) const;
    unsigned copiesLoaded() const { return copies_; }

private:
    struct Copy {
        void* handle = nullptr;
        int fd = -1;
    };
    Copy loadCopy();
    static void unload(Copy& copy);

    std::string path_;
    std::string name_;
    std::vector<char> bytes_;
    Copy current_;
    int (*main_)() = nullptr;
    unsigned copies_ = 0;
};

} // namespace sim
