#include "rp2040/rtos_view.h"

#include <algorithm>

namespace sim::rp2040 {

namespace {

constexpr std::uint32_t kListSize = 5 * 4;
constexpr std::uint32_t kListEndOffset = 2 * 4;
constexpr std::uint32_t kItemNextOffset = 1 * 4;
constexpr std::uint32_t kItemOwnerOffset = 3 * 4;
constexpr std::size_t kMaxItems = 256;

} // namespace

RtosView::RtosView(const ElfImage& elf, MemoryReader read)
    : currentTcbs_(elf.address("pxCurrentTCBs")), read_(std::move(read)) {
    for (const char* name :
         {"pxReadyTasksLists", "xDelayedTaskList1", "xDelayedTaskList2", "xSuspendedTaskList"}) {
        if (const ElfImage::Symbol* list = elf.find(name))
            stateLists_.emplace_back(list->address,
                                     std::max<std::uint32_t>(1, list->size / kListSize));
    }
    for (const char* name : {"xActiveTimerList1", "xActiveTimerList2"}) {
        if (const std::optional<std::uint32_t> list = elf.address(name))
            timerLists_.push_back(*list);
    }
}

std::uint32_t RtosView::word(std::uint32_t address) const {
    std::uint32_t w = 0;
    return read_(address, &w, 4) ? w : 0;
}

void RtosView::collect(std::uint32_t list, std::vector<std::uint32_t>& owners) const {
    const std::uint32_t end = list + kListEndOffset;
    std::uint32_t item = word(end + kItemNextOffset);
    for (std::size_t n = 0; item != end && item != 0 && n < kMaxItems; ++n) {
        owners.push_back(word(item + kItemOwnerOffset));
        item = word(item + kItemNextOffset);
    }
}

std::vector<RtosView::Task> RtosView::tasks() const {
    std::vector<std::uint32_t> tcbs;
    for (const auto& [address, count] : stateLists_)
        for (std::uint32_t i = 0; i < count; ++i)
            collect(address + i * kListSize, tcbs);
    std::vector<Task> out;
    for (std::uint32_t tcb : tcbs) {
        const std::optional<std::string> name = taskName(tcb);
        if (!name)
            continue;
        out.push_back({tcb, *name, word(tcb + kPriorityOffset), word(tcb + kAffinityOffset)});
    }
    return out;
}

std::vector<std::string> RtosView::activeTimers() const {
    std::vector<std::uint32_t> timers;
    for (std::uint32_t list : timerLists_)
        collect(list, timers);
    std::vector<std::string> out;
    constexpr std::uint32_t kMaxName = 32;
    for (std::uint32_t t : timers) {
        char name[kMaxName + 1] = {};
        const std::uint32_t text = word(t);
        if (text == 0 || !read_(text, name, kMaxName))
            continue;
        out.emplace_back(name);
    }
    return out;
}

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
