#include "task_stack.h"

namespace {
constexpr std::uint8_t kFill = 0xA5;
}

StackUse measureStack(std::uint32_t base, const std::vector<std::uint8_t>& bytes) {
    StackUse use;
    const std::uint32_t size = static_cast<std::uint32_t>(bytes.size()) & ~3u;
    if (size < 8)
        return use;
    use.entrySp = (base + size - 4) & ~7u;
    std::uint32_t untouched = 0;
    while (untouched < size && bytes[untouched] == kFill)
        ++untouched;
    // Stacks are written a word at a time: a word partly equal to the fill
    // was still written.
    const std::uint32_t lowest = base + (untouched & ~3u);
    use.exhausted = untouched < 4;
    use.depth = lowest < use.entrySp ? use.entrySp - lowest : 0;
    return use;
}
