#include "heap.h"

#include <cstdlib>

namespace sim {

Heap::~Heap() {
    wipe();
}

void* Heap::allocate(std::size_t size) {
    if (failThisOne())
        return nullptr;
    if (chunksInUse_ + chunkBytes(size) > capacity_) {
        ++exhausted_;
        return nullptr;
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        return nullptr;
    blocks_[p] = size;
    inUse_ += size;
    chunksInUse_ += chunkBytes(size);
    if (inUse_ > peak_)
        peak_ = inUse_;
    return p;
}

void Heap::release(void* p) {
    if (!p)
        return;
    auto it = blocks_.find(p);
    if (it == blocks_.end())
        return;
    inUse_ -= it->second;
    chunksInUse_ -= chunkBytes(it->second);
    blocks_.erase(it);
    std::free(p);
}

void Heap::wipe() {
    for (auto& [p, size] : blocks_)
        std::free(p);
    blocks_.clear();
    inUse_ = 0;
    chunksInUse_ = 0;
}

} // namespace sim
