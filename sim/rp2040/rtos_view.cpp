#include "rp2040/rtos_view.h"

namespace sim::rp2040 {

RtosView::RtosView(const ElfImage& elf, MemoryReader read)
    : currentTcbs_(elf.address("pxCurrentTCBs")), read_(std::move(read)) {}

std::uint32_t RtosView::currentTcb(int core) const {
    std::uint32_t tcb = 0;
    if (!currentTcbs_ || !read_(*currentTcbs_ + 4u * std::uint32_t(core), &tcb, 4))
        return 0;
    return tcb;
}

std::optional<std::string> RtosView::taskName(std::uint32_t tcb) const {
    char name[kNameLength + 1] = {};
    if (tcb == 0 || !read_(tcb + kNameOffset, name, kNameLength))
        return std::nullopt;
    std::string s(name);
    for (char c : s) {
        if (c < 0x20 || c > 0x7e)
            return std::nullopt; // not a name: the pointer is stale or wrong
    }
    return s;
}

std::optional<std::string> RtosView::currentTask(int core) const {
    return taskName(currentTcb(core));
}

} // namespace sim::rp2040
