// The RTOS heap of one chip: heap scheme 3, every allocation on the C
// library's malloc. Tests can make allocations fail to reach the firmware's
// handling of creation failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace sim {

class Heap {
public:
    Heap() = default;
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    void* allocate(std::size_t size);
    void release(void* p);
    // Returns every block still held (a chip reset wipes the heap).
    void wipe();

    // The next `count` allocations after `skip` successful ones fail.
    void failAllocations(unsigned count, unsigned skip = 0) {
        failCount_ = count;
        failSkip_ = skip;
    }
    unsigned failedAllocations() const { return failed_; }
    std::size_t bytesInUse() const { return inUse_; }
    std::size_t blocksInUse() const { return blocks_.size(); }
    std::size_t peakBytes() const { return peak_; }

private:
    std::unordered_map<void*, std::size_t> blocks_;
    std::size_t inUse_ = 0;
    std::size_t peak_ = 0;
    unsigned failCount_ = 0;
    unsigned failSkip_ = 0;
    unsigned failed_ = 0;
};

} // namespace sim
