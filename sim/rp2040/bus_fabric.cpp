#include "rp2040/bus_fabric.h"

#include "arm/format.h"
#include "arm/core.h"
#include "rp2040/address_map.h"
#include "rp2040/bootrom.h"
#include "rp2040/sio.h"

#include <cstdio>
#include <cstring>

namespace sim::rp2040 {

namespace {
std::string hex(std::uint32_t v) {
    return arm::hex(v, 8);
}

// Byte offset into SRAM of an address in the unstriped alias: there each
// 64 KiB bank is contiguous, while the main window spreads consecutive
// words over the four banks.
std::uint32_t unstripedToSram(std::uint32_t address) {
    const std::uint32_t off = address - addr::kSramUnstriped;
    const std::uint32_t bank = off / 0x10000, word = (off % 0x10000) / 4;
    return (word * 4 + bank) * 4 + (off & 3);
}

std::string sioGap(std::uint32_t address) {
    const std::uint32_t offset = address - addr::kSio;
    if (offset >= Sio::kInterpFirst && offset < Sio::kSpinLock0)
        return "the SIO's interpolators are not modelled";
    return "nothing answers in the SIO there";
}

std::uint32_t lanesOf(std::uint32_t value, unsigned size) {
    if (size == 1)
        return (value & 0xff) * 0x01010101u;
    if (size == 2)
        return (value & 0xffff) * 0x00010001u;
    return value;
}
} // namespace

BusFabric::BusFabric(Bootrom& rom, Sio& sio)
    : rom_(rom), sio_(sio), flash_(addr::kFlashSize, 0xff), sram_(addr::kSramSize, 0),
      xipRam_(addr::kXipCacheRamSize, 0) {}

void BusFabric::connect(arm::Core& core) {
    core.clearDirectRegions();
    core.addDirectRegion(addr::kRom, addr::kRomSize, rom_.bytes(), false);
    for (unsigned i = 0; i < addr::kFlashAliases; ++i)
        core.addDirectRegion(addr::kFlash + i * addr::kFlashAliasStride, addr::kFlashSize,
                             flash_.data(), false);
    core.addDirectRegion(addr::kSram, addr::kSramSize, sram_.data(), true, true);
    core.addDirectRegion(addr::kXipCacheRam, addr::kXipCacheRamSize, xipRam_.data(), true);
}

void BusFabric::map(std::uint32_t base, RegisterBlock& block, std::string name, Atomics atomics) {
    blocks_[base] = Block{&block, std::move(name), atomics};
}

void BusFabric::mapAbsent(std::uint32_t base, std::string name) {
    blocks_[base] = Block{nullptr, std::move(name)};
}

const BusFabric::Block* BusFabric::blockAt(std::uint32_t address) const {
    auto it = blocks_.upper_bound(address);
    if (it == blocks_.begin())
        return nullptr;
    --it;
    return address - it->first < addr::kBlockSpan ? &it->second : nullptr;
}

std::string BusFabric::blockName(std::uint32_t address) const {
    if (address >= addr::kSio && address < addr::kSio + Sio::kSize)
        return "SIO";
    const Block* b = blockAt(address);
    return b ? b->name : "";
}

const std::uint8_t* BusFabric::memoryAt(std::uint32_t address, std::uint32_t size) const {
    auto within = [&](std::uint32_t base, std::size_t length) {
        return address >= base && address - base <= length && size <= length - (address - base);
    };
    if (within(addr::kRom, addr::kRomSize))
        return rom_.bytes() + address;
    for (unsigned i = 0; i < addr::kFlashAliases; ++i) {
        const std::uint32_t base = addr::kFlash + i * addr::kFlashAliasStride;
        if (within(base, flash_.size()))
            return flash_.data() + (address - base);
    }
    if (within(addr::kSram, sram_.size()))
        return sram_.data() + (address - addr::kSram);
    if (within(addr::kXipCacheRam, xipRam_.size()))
        return xipRam_.data() + (address - addr::kXipCacheRam);
    return nullptr;
}

bool BusFabric::readMemory(std::uint32_t address, void* out, std::uint32_t size) const {
    const std::uint8_t* p = memoryAt(address, size);
    if (!p)
        return false;
    std::memcpy(out, p, size);
    return true;
}

bool BusFabric::writeMemory(std::uint32_t address, const void* in, std::uint32_t size) {
    auto* p = const_cast<std::uint8_t*>(memoryAt(address, size));
    if (!p)
        return false;
    std::memcpy(p, in, size);
    return true;
}

bool BusFabric::fail(const char* what, std::uint32_t address, unsigned size,
                     const std::string& why) {
    lastErrorAddress_ = address;
    lastError_ = std::string(what) + " of " + std::to_string(size) + " byte" +
                 (size == 1 ? "" : "s") + " at " + hex(address) + ": " + why;
    return false;
}

bool BusFabric::load(int core, std::uint32_t address, unsigned size, std::uint32_t& value) {
    const unsigned shift = (address & 3) * 8;
    const std::uint32_t mask = size == 4 ? ~0u : (1u << (size * 8)) - 1;
    if (address >= addr::kSio && address < addr::kSio + 0x10000000) {
        std::uint32_t word = 0;
        if (!sio_.read(core, (address - addr::kSio) & ~3u, word))
            return fail("load", address, size, sioGap(address));
        value = (word >> shift) & mask;
        return true;
    }
    if (address >= addr::kSramUnstriped &&
        address < addr::kSramUnstriped + addr::kSramUnstripedSize) {
        value = 0;
        for (unsigned i = 0; i < size; ++i)
            value |= std::uint32_t(sram_[unstripedToSram(address + i)]) << (8 * i);
        return true;
    }
    if (const std::uint8_t* p = memoryAt(address, size)) {
        // Memory the direct paths did not cover (a native routine's access).
        value = 0;
        std::memcpy(&value, p, size);
        return true;
    }
    const Block* b = blockAt(address);
    if (!b)
        return fail("load", address, size, "nothing is mapped there");
    if (!b->regs)
        return fail("load", address, size, b->name + " is not modelled");
    value = (b->regs->read(address & 0xffc) >> shift) & mask;
    return true;
}

bool BusFabric::store(int core, std::uint32_t address, unsigned size, std::uint32_t value) {
    if (address >= addr::kSio && address < addr::kSio + 0x10000000) {
        if (!sio_.write(core, (address - addr::kSio) & ~3u, lanesOf(value, size)))
            return fail("store", address, size, sioGap(address));
        return true;
    }
    if (address >= addr::kSramUnstriped &&
        address < addr::kSramUnstriped + addr::kSramUnstripedSize) {
        for (unsigned i = 0; i < size; ++i)
            sram_[unstripedToSram(address + i)] = std::uint8_t(value >> (8 * i));
        return true;
    }
    if (address < addr::kRom + addr::kRomSize)
        return fail("store", address, size, "the boot ROM is read-only");
    if (address >= addr::kFlash && address < addr::kFlash + addr::kFlashAliases * 0x01000000 &&
        (address & 0x00ffffff) < addr::kFlashSize)
        return fail("store", address, size, "flash is read-only through the XIP window");
    if (std::uint8_t* p = const_cast<std::uint8_t*>(memoryAt(address, size))) {
        std::memcpy(p, &value, size);
        return true;
    }
    const Block* b = blockAt(address);
    if (!b)
        return fail("store", address, size, "nothing is mapped there");
    if (!b->regs)
        return fail("store", address, size, b->name + " is not modelled");
    const std::uint32_t v = lanesOf(value, size);
    if ((address & addr::kAliasMask) == 0)
        b->regs->write(address & 0xffc, v);
    else
        aliasWrite(*b, address, v);
    return true;
}

void BusFabric::aliasWrite(const Block& block, std::uint32_t address, std::uint32_t mask) {
    RegisterBlock& regs = *block.regs;
    const std::uint32_t offset = address & 0xffc;
    const std::uint32_t alias = address & addr::kAliasMask;
    auto apply = [&](std::uint32_t old) {
        return alias == addr::kAliasXor   ? old ^ mask
               : alias == addr::kAliasSet ? old | mask
                                          : old & ~mask;
    };
    if (block.atomics == Atomics::Interposer) {
        regs.write(offset, apply(regs.read(offset)));
        return;
    }
    // In place: a write-1-to-clear bit is written 1 where the operation
    // takes it from 1 to 0, and 0 (left alone) everywhere else.
    const std::uint32_t old = regs.peek(offset);
    const std::uint32_t next = apply(old);
    const std::uint32_t clears = regs.writeClearBits(offset);
    regs.write(offset, (next & ~clears) | (old & ~next & clears));
}

unsigned BusFabric::sramBank(std::uint32_t address) {
    const std::uint32_t offset = address - addr::kSram;
    if (offset < addr::kSramUnstripedSize)
        return (offset >> 2) & 3u;
    return offset < addr::kSramUnstripedSize + 0x1000 ? 4u : 5u;
}

void BusFabric::BankUse::take(std::uint64_t cycle) {
    if (cycle < origin)
        return; // long gone
    if (cycle - origin >= 64) {
        const std::uint64_t newOrigin = cycle - 63;
        const std::uint64_t shift = newOrigin - origin;
        cycles = shift >= 64 ? 0 : cycles >> shift;
        origin = newOrigin;
    }
    cycles |= std::uint64_t{1} << (cycle - origin);
}

unsigned BusFabric::arbitrate(int core, std::uint32_t address) {
    const unsigned bank = sramBank(address);
    const BankUse& other = banks_[std::size_t(1 - core)][bank];
    std::uint64_t& cycle = nextCycle_[std::size_t(core)];
    unsigned waited = 0;
    while (other.holds(cycle)) {
        ++cycle;
        ++waited;
    }
    banks_[std::size_t(core)][bank].take(cycle);
    ++cycle;
    return waited;
}

unsigned BusFabric::waitStates(std::uint32_t address, bool store) const {
    unsigned wait = 0;
    if (address >= addr::kApb && address < addr::kApbEnd)
        wait = store ? kApbWriteWait : kApbReadWait;
    if (store && (address & addr::kAliasMask) != 0 && address >= addr::kXipCtrl &&
        address < addr::kSio) {
        const Block* b = blockAt(address);
        if (b && b->atomics == Atomics::Interposer)
            wait += kInterposerWait;
    }
    return wait;
}

bool BusFabric::native(arm::Core& core, std::uint32_t pc, std::uint8_t imm) {
    if (pc >= addr::kRom + addr::kRomSize)
        return false;
    return rom_.call(core, pc, imm);
}

} // namespace sim::rp2040
