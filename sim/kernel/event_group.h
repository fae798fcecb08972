// An RTOS event group: 24 usable flag bits that tasks wait on, any or all.
#pragma once

#include "scheduler.h"

#include <cstdint>

namespace sim {

class EventGroup {
public:
    explicit EventGroup(Scheduler& scheduler) : scheduler_(scheduler) {}
    ~EventGroup();

    std::uint32_t bits() const { return bits_; }
    std::uint32_t set(std::uint32_t bits);
    std::uint32_t clear(std::uint32_t bits);
    std::uint32_t wait(std::uint32_t bits, bool clearOnExit, bool waitForAll, std::uint32_t ticks);
    void* memory = nullptr;

private:
    static constexpr std::uint32_t kClearOnExit = 1;
    static constexpr std::uint32_t kWaitForAll = 2;

    bool satisfied(std::uint32_t wanted, bool all) const {
        return all ? (bits_ & wanted) == wanted : (bits_ & wanted) != 0;
    }

    Scheduler& scheduler_;
    std::uint32_t bits_ = 0;
    WaitList waiters_;
};

} // namespace sim
