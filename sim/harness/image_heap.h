// What each image leaves of the chip's RAM to the C library's allocator, the
// heap of the RTOS (scheme 3): from the end of the image's static data (the
// linker's `end`) to the stack limit (`__StackLimit`, the end of the main
// SRAM, 0x20040000), as the SDK's sbrk allows. Measured from the rp2040
// build's maps (build/rp2040/<image>.elf.map, SDK 1.5.1, Release):
//   valdor   end = 0x200022a8  ->  0x3dd58 = 253272 bytes
//   quillet  end = 0x200022c8  ->  0x3dd38 = 253240 bytes
//   brennic  end = 0x200014dc  ->  0x3eb24 = 256804 bytes
// Measure again when an image's static data grows or shrinks.
#pragma once

#include "kernel/heap.h"

#include <cstddef>
#include <string>

namespace sim {

inline std::size_t imageHeapBytes(const std::string& image) {
    if (image == "valdor")
        return 253272;
    if (image == "quillet")
        return 253240;
    if (image == "brennic")
        return 256804;
    return Heap::kMainRamBytes;
}

} // namespace sim
