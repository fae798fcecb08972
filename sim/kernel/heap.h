// The RTOS heap of one chip: heap scheme 3, every allocation on the C
// library's malloc. The chip's allocator has only the RAM the image leaves
// (its capacity), so a leak ends in a failed allocation as on the chip.
// Tests can also make allocations fail to reach the firmware's handling of
// creation failures.
#pragma once

#include "engine/allocation_faults.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace sim {

class Heap : public AllocationFaults {
public:
    Heap() = default;
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // All of the main SRAM: the bound of a program that is not an image.
    static constexpr std::size_t kMainRamBytes = 256 * 1024;

    // Null when the block does not fit in what is left, or when failed on
    // purpose.
    void* allocate(std::size_t size);
    void release(void* p);
    // Returns every block still held (a chip reset wipes the heap).
    void wipe();

    // The RAM between the end of the image's static data and the stack
    // limit, where the allocator takes its blocks.
    void setCapacity(std::size_t bytes) { capacity_ = bytes; }
    std::size_t capacity() const { return capacity_; }
    // What one block takes of it: the C library's allocator puts a 4-byte
    // header before the data, rounds to 8 bytes and never gives less than 16.
    static std::size_t chunkBytes(std::size_t size) {
        const std::size_t chunk = (size + 4 + 7) & ~std::size_t{7};
        return chunk < 16 ? 16 : chunk;
    }
    std::size_t chunkBytesInUse() const { return chunksInUse_; }
    // Allocations refused because the heap was full.
    unsigned exhaustedAllocations() const { return exhausted_; }
    std::size_t bytesInUse() const { return inUse_; }
    std::size_t blocksInUse() const { return blocks_.size(); }
    std::size_t peakBytes() const { return peak_; }

private:
    std::unordered_map<void*, std::size_t> blocks_;
    std::size_t inUse_ = 0;
    std::size_t chunksInUse_ = 0;
    std::size_t capacity_ = kMainRamBytes;
    unsigned exhausted_ = 0;
    std::size_t peak_ = 0;
};

} // namespace sim
