// What a debugger can tell of the FreeRTOS kernel in a running image: the
// task each core runs, read from the kernel's pxCurrentTCBs and the task's
// control block. The name's place in the control block follows the SMP
// kernel's TCB for this project's configuration (app/FreeRTOSConfig.h):
// pxTopOfStack, uxCoreAffinityMask (core affinity on), two list items of
// five words each, uxPriority, pxStack, xTaskRunState and uxTaskAttributes
// (more than one core) make 16 words before pcTaskName, 16 characters long.
#pragma once

#include "rp2040/elf_image.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sim::rp2040 {

class RtosView {
public:
    static constexpr std::uint32_t kNameOffset = 16 * 4;
    static constexpr unsigned kNameLength = 16;

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

private:
    std::optional<std::uint32_t> currentTcbs_;
    MemoryReader read_;
};

} // namespace sim::rp2040
