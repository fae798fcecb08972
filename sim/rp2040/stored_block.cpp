#include "rp2040/stored_block.h"

namespace sim::rp2040 {

StoredBlock& StoredBlock::define(std::uint32_t offset, std::uint32_t resetValue,
                                 std::uint32_t writable) {
    registers_[offset] = Register{resetValue, resetValue, writable};
    return *this;
}

StoredBlock& StoredBlock::defineRange(std::uint32_t offset, unsigned count, std::uint32_t stride,
                                      std::uint32_t resetValue, std::uint32_t writable) {
    for (unsigned i = 0; i < count; ++i)
        define(offset + i * stride, resetValue, writable);
    return *this;
}

void StoredBlock::reset() {
    for (auto& [offset, r] : registers_)
        r.value = r.resetValue;
}

std::uint32_t StoredBlock::peek(std::uint32_t offset) const {
    auto it = registers_.find(offset);
    return it == registers_.end() ? 0 : it->second.value;
}

void StoredBlock::write(std::uint32_t offset, std::uint32_t value) {
    auto it = registers_.find(offset);
    if (it == registers_.end())
        return;
    Register& r = it->second;
    r.value = (r.value & ~r.writable) | (value & r.writable);
}

} // namespace sim::rp2040
