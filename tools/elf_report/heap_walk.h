// The C library's heap (newlib's malloc, which heap scheme 3 uses) as its own
// chunk headers describe it: from the first chunk after the start of the
// sbrk area up to the top chunk, each chunk's size word with bit 0 telling
// whether the chunk before it is in use. Only a heap that sbrk gave in one
// piece is walked; anything else reads as inconsistent.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

struct HeapState {
    std::uint32_t inUse = 0;   // bytes in allocated chunks, headers included
    std::uint32_t free = 0;    // bytes in free chunks below the top chunk
    std::uint32_t topSize = 0; // the top chunk: taken from sbrk, not yet handed out
    std::uint32_t chunks = 0;  // allocated chunks
};

using MemoryReader = std::function<bool(std::uint32_t, void*, std::uint32_t)>;

// `sbrkBase` is __malloc_sbrk_base, `top` the top chunk (the third word of
// __malloc_av_). Nothing when malloc never ran or the chain does not end at
// the top chunk.
std::optional<HeapState> walkHeap(const MemoryReader& read, std::uint32_t sbrkBase,
                                  std::uint32_t top);
