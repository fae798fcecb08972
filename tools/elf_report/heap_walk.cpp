#include "heap_walk.h"

namespace {
constexpr std::uint32_t kPrevInUse = 1;
constexpr std::uint32_t kSizeBits = ~3u;
constexpr std::uint32_t kAlign = 8;
// No SRAM heap has more chunks than this; a longer chain is a broken one.
constexpr std::uint32_t kMaxChunks = 1u << 16;

bool sizeWord(const MemoryReader& read, std::uint32_t chunk, std::uint32_t& size) {
    return read(chunk + 4, &size, 4);
}
} // namespace

std::optional<HeapState> walkHeap(const MemoryReader& read, std::uint32_t sbrkBase,
                                  std::uint32_t top) {
    if (sbrkBase == 0 || sbrkBase == ~0u || top < sbrkBase)
        return std::nullopt;
    // malloc aligns the user area (chunk + 8) of the first chunk to 8 bytes.
    std::uint32_t chunk = sbrkBase + ((kAlign - ((sbrkBase + 8) % kAlign)) % kAlign);
    HeapState state;
    std::uint32_t size = 0;
    if (!sizeWord(read, top, size))
        return std::nullopt;
    state.topSize = size & kSizeBits;
    for (std::uint32_t n = 0; chunk != top; ++n) {
        if (chunk > top || n == kMaxChunks || !sizeWord(read, chunk, size))
            return std::nullopt;
        const std::uint32_t bytes = size & kSizeBits;
        std::uint32_t next = 0;
        if (bytes == 0 || !sizeWord(read, chunk + bytes, next))
            return std::nullopt;
        if (next & kPrevInUse) {
            state.inUse += bytes;
            ++state.chunks;
        } else {
            state.free += bytes;
        }
        chunk += bytes;
    }
    return state;
}
