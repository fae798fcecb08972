// What a debugger can tell of the FreeRTOS kernel in a running image: the
// task each core runs, read from the kernel's pxCurrentTCBs and the task's
// control block. The name's place in the control block follows the SMP
// kernel's TCB for this project's configuration (app/FreeRTOSConfig.h):
// pxTopOfStack, uxCoreAffinityMask (core affinity on), two list items of
// five words each, uxPriority, pxStack, xTaskRunState and uxTaskAttributes
// (more than one core) make 16 words before pcTaskName, 16 characters long.
// The task list is what a debugger walks: every task's state list item is in
// one of the ready lists (running tasks too, in the SMP kernel), the delayed
// lists or the suspended list.
#pragma once

#include "rp2040/elf_image.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim::rp2040 {

class RtosView {
public:
    static constexpr std::uint32_t kNameOffset = 16 * 4;
    static constexpr unsigned kNameLength = 16;
    static constexpr std::uint32_t kAffinityOffset = 1 * 4;
    static constexpr std::uint32_t kPriorityOffset = 12 * 4;

    struct Task {
        std::uint32_t tcb;
        std::string name;
        unsigned priority;
        std::uint32_t affinity;
    };

    // Reads `size` bytes of memory at an address; false where there is none.
    using MemoryReader = std::function<bool(std::uint32_t, void*, std::uint32_t)>;

    RtosView(const ElfImage& elf, MemoryReader read);

    // False for an image without the SMP kernel.
    bool present() const { return currentTcbs_.has_value(); }
    // The control block the core runs, 0 before the scheduler starts.
    std::uint32_t currentTcb(int core) const;
    // The name of the task the core runs, or nothing.
    std::optional<std::string> currentTask(int core) const;
    std::optional<std::string> taskName(std::uint32_t tcb) const;
    // Every task that is not deleted, in list order (ready lists from the
    // lowest priority up, then the delayed and suspended ones); empty
    // before the scheduler has tasks.
    std::vector<Task> tasks() const;
    // The names of the timers in the timer service's two active lists (the
    // current one and the one for after the tick count wraps); Timer_t
    // begins with its name pointer.
    std::vector<std::string> activeTimers() const;

private:
    // The owners of a list's items (List_t: item count, index, end marker
    // of value, next, previous; ListItem_t: value, next, previous, owner,
    // container). Stops after a few hundred items, so that a list being changed
    // under it cannot loop.
    void collect(std::uint32_t list, std::vector<std::uint32_t>& owners) const;
    std::uint32_t word(std::uint32_t address) const;

    std::optional<std::uint32_t> currentTcbs_;
    // The kernel's state lists: address and number of List_t each.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stateLists_;
    std::vector<std::uint32_t> timerLists_;
    MemoryReader read_;
};

} // namespace sim::rp2040
