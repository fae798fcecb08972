#include "rp2040/bootrom.h"

#include "arm/format.h"
#include "rp2040/address_map.h"
#include "rp2040/resets.h"
#include "rp2040/soft_float.h"

#include <cstdio>

namespace sim::rp2040 {

namespace {
constexpr std::uint16_t kUdf = 0xde00;
constexpr std::uint16_t kBxLr = 0x4770;
constexpr std::uint16_t kWfi = 0xbf30;
constexpr std::uint16_t kBranchBack2 = 0xe7fd; // B to the halfword before

struct TableEntry {
    char a, b;
    std::uint8_t routine;
};

// The function table, in the ROM's order.
constexpr TableEntry kFunctions[] = {
    {'P', '3', Bootrom::kPopcount32},
    {'R', '3', Bootrom::kReverse32},
    {'L', '3', Bootrom::kClz32},
    {'T', '3', Bootrom::kCtz32},
    {'M', 'S', Bootrom::kMemset},
    {'S', '4', Bootrom::kMemset4},
    {'M', 'C', Bootrom::kMemcpy},
    {'C', '4', Bootrom::kMemcpy44},
    {'U', 'B', Bootrom::kResetToUsbBoot},
    {'D', 'T', Bootrom::kDebugTrampoline},
    {'D', 'E', Bootrom::kDebugTrampolineEnd},
    {'W', 'V', Bootrom::kWaitForVector},
    {'I', 'F', Bootrom::kConnectInternalFlash},
    {'E', 'X', Bootrom::kFlashExitXip},
    {'R', 'E', Bootrom::kFlashRangeErase},
    {'R', 'P', Bootrom::kFlashRangeProgram},
    {'F', 'C', Bootrom::kFlashFlushCache},
    {'C', 'X', Bootrom::kFlashEnterCmdXip},
};

std::string hex(std::uint32_t v) {
    return arm::hex(v, 8);
}
} // namespace

Bootrom::Bootrom(BootromHost& host) : host_(host), rom_(addr::kRomSize, 0) {
    build();
}

void Bootrom::put16(std::uint32_t at, std::uint32_t v) {
    rom_.at(at) = std::uint8_t(v);
    rom_.at(at + 1) = std::uint8_t(v >> 8);
}

void Bootrom::put32(std::uint32_t at, std::uint32_t v) {
    put16(at, v & 0xffff);
    put16(at + 2, v >> 16);
}

void Bootrom::build() {
    // Vector table: the boot stub is the reset entry of both cores.
    put32(0x00, kStackTop);
    put32(0x04, stubAddress(kBoot) | 1);
    put32(0x08, stubAddress(kNmi) | 1);
    put32(0x0c, kParking | 1);
    rom_[0x10] = 'M';
    rom_[0x11] = 'u';
    rom_[0x12] = 1; // compatibility of the function table
    rom_[0x13] = kVersion;
    put16(0x14, kFunctionTable);
    put16(0x16, kDataTable);
    put16(0x18, stubAddress(kTableLookup) | 1);

    // A core with nowhere to go sleeps here for good.
    put16(kParking, kWfi);
    put16(kParking + 2, kBranchBack2);

    for (unsigned r = kBoot; r < kRoutineEnd; ++r) {
        put16(stubAddress(std::uint8_t(r)), kUdf | r);
        put16(stubAddress(std::uint8_t(r)) + 2, kBxLr);
    }

    std::uint32_t at = kFunctionTable;
    for (const TableEntry& e : kFunctions) {
        put16(at, code(e.a, e.b));
        put16(at + 2, stubAddress(e.routine) | 1);
        at += 4;
    }
    put16(at, 0);

    const std::uint32_t floatSize = kFloatTable - 2;
    const struct {
        char a, b;
        std::uint32_t address;
    } data[] = {
        {'G', 'R', kGitRevision},
        {'C', 'R', kCopyright},
        {'S', 'F', kFloatTable},
        {'S', 'D', kDoubleTable},
        {'F', 'Z', floatSize},
        {'F', 'S', stubAddress(kFloatFirst)},
        {'F', 'E', stubAddress(kDoubleFirst)},
        {'D', 'S', stubAddress(kDoubleFirst)},
        {'D', 'E', stubAddress(kRoutineEnd)},
    };
    at = kDataTable;
    for (const auto& e : data) {
        put16(at, code(e.a, e.b));
        put16(at + 2, e.address);
        at += 4;
    }
    put16(at, 0);

    put32(kGitRevision, 0);
    const char copyright[] = "simulated RP2040 boot ROM";
    for (unsigned i = 0; i < sizeof copyright; ++i)
        rom_[kCopyright + i] = std::uint8_t(copyright[i]);

    // The float table's size in words sits two bytes before it.
    rom_[floatSize] = kTableEntries;
    for (unsigned i = 0; i < kTableEntries; ++i) {
        put32(kFloatTable + 4 * i, stubAddress(std::uint8_t(kFloatFirst + i)) | 1);
        put32(kDoubleTable + 4 * i, stubAddress(std::uint8_t(kDoubleFirst + i)) | 1);
    }
}

std::string Bootrom::routineName(std::uint8_t routine) {
    switch (routine) {
    case kBoot:
        return "boot";
    case kContinueBoot:
        return "boot (after a watchdog boot returned)";
    case kNmi:
        return "NMI handler";
    case kTableLookup:
        return "rom_table_lookup";
    case kWaitForVector:
        return "wait_for_vector";
    default:
        break;
    }
    for (const TableEntry& e : kFunctions) {
        if (e.routine == routine)
            return std::string("function '") + e.a + e.b + "'";
    }
    if (routine >= kFloatFirst && routine < kDoubleFirst)
        return softFloatName(routine - kFloatFirst, false);
    if (routine >= kDoubleFirst && routine < kRoutineEnd)
        return softFloatName(routine - kDoubleFirst, true);
    return "routine " + std::to_string(routine);
}

bool Bootrom::call(arm::Core& core, std::uint32_t pc, std::uint8_t imm) {
    if (imm < kBoot || imm >= kRoutineEnd || pc != stubAddress(imm))
        return false;
    const std::uint32_t r0 = core.reg(0);
    switch (imm) {
    case kBoot:
        boot(core);
        return true;
    case kContinueBoot:
        bootFlash(core);
        return true;
    case kNmi:
        // The ROM's handler only clears the NMI masks, which are not modelled.
        ret(core, pc);
        return true;
    case kTableLookup:
        tableLookup(core);
        break;
    case kPopcount32:
        core.setReg(0, std::uint32_t(__builtin_popcount(r0)));
        break;
    case kReverse32: {
        std::uint32_t v = 0;
        for (unsigned i = 0; i < 32; ++i)
            v |= ((r0 >> i) & 1u) << (31 - i);
        core.setReg(0, v);
        break;
    }
    case kClz32:
        core.setReg(0, r0 ? std::uint32_t(__builtin_clz(r0)) : 32u);
        break;
    case kCtz32:
        core.setReg(0, r0 ? std::uint32_t(__builtin_ctz(r0)) : 32u);
        break;
    case kMemset:
    case kMemset4:
        memset(core, imm == kMemset4);
        break;
    case kMemcpy:
    case kMemcpy44:
        memcpy(core, imm == kMemcpy44);
        break;
    case kWaitForVector:
        if (core.id() == 0) {
            core.stop("bootrom: wait_for_vector called on core 0, which would sleep for good");
            return true;
        }
        host_.parkForLaunch(core);
        return true;
    case kConnectInternalFlash:
    case kFlashExitXip:
    case kFlashFlushCache:
    case kFlashEnterCmdXip:
        // Flash is plain memory here: nothing to connect, leave or flush.
        host_.chargeCycles(core, 20);
        break;
    case kFlashRangeErase:
        flashErase(core);
        break;
    case kFlashRangeProgram:
        flashProgram(core);
        break;
    case kResetToUsbBoot:
        core.stop("bootrom: reset_usb_boot called (gpio mask " + hex(r0) + ", interfaces " +
                  hex(core.reg(1)) + "): the chip would restart as a USB drive");
        return true;
    case kDebugTrampolineEnd:
        if (host_.debuggerCallReturned(core))
            return true;
        [[fallthrough]];
    case kDebugTrampoline:
        core.stop("bootrom: the debugger trampoline was called, which needs a debugger");
        return true;
    default: {
        const bool isDouble = imm >= kDoubleFirst;
        const unsigned entry = imm - (isDouble ? kDoubleFirst : kFloatFirst);
        std::string failure;
        if (!softFloatCall(core, entry, isDouble, failure)) {
            core.stop("bootrom: " + failure);
            return true;
        }
        host_.chargeCycles(core, softFloatCycles(entry, isDouble));
        break;
    }
    }
    if (core.state() != arm::Core::State::Stopped)
        ret(core, pc);
    return true;
}

void Bootrom::boot(arm::Core& core) {
    if (core.id() != 0) {
        host_.parkForLaunch(core);
        return;
    }
    host_.disableAdcPadInputs();
    host_.releaseResets(resetbit::kPadsBank0);
    // A boot address left in the watchdog's scratch registers; the magic is
    // cleared so that the next reset boots normally.
    auto& scratch = host_.watchdogScratch();
    if (scratch[4] == kBootMagic && (scratch[5] ^ scratch[7]) + kBootMagic == 0) {
        scratch[4] = 0;
        host_.chargeCycles(core, 40);
        if (!(scratch[7] & 1)) {
            core.stop("bootrom: watchdog boot address " + hex(scratch[7]) +
                      " lacks the Thumb bit (a HardFault on silicon)");
            return;
        }
        core.setMsp(scratch[6]);
        core.setReg(14, stubAddress(kContinueBoot) | 1);
        core.setPc(scratch[7]);
        return;
    }
    bootFlash(core);
}

void Bootrom::bootFlash(arm::Core& core) {
    host_.releaseResets(resetbit::kIoQspi | resetbit::kPadsQspi);
    std::uint32_t sp = 0, entry = 0;
    if (!core.read(kFlashVectors, 4, sp) || !core.read(kFlashVectors + 4, 4, entry)) {
        core.stop("bootrom: flash cannot be read");
        return;
    }
    if (sp == 0xffffffff && entry == 0xffffffff) {
        core.stop("bootrom: flash holds no image (erased vector table at " + hex(kFlashVectors) +
                  "); the chip would start as a USB drive");
        return;
    }
    if (!(entry & 1)) {
        core.stop("bootrom: reset vector " + hex(entry) +
                  " in flash lacks the Thumb bit (a HardFault on silicon)");
        return;
    }
    // Roughly what the ROM and stage 2 spend on the way (the flash set-up
    // at the ring oscillator's speed is not modelled).
    host_.chargeCycles(core, 200);
    core.setVtor(kFlashVectors);
    core.setMsp(sp);
    core.setPc(entry);
}

void Bootrom::tableLookup(arm::Core& core) {
    // r0: the table, r1: the code; r0 out: the address, 0 if absent.
    std::uint32_t at = core.reg(0);
    const std::uint32_t wanted = core.reg(1);
    unsigned steps = 0;
    for (;; at += 4, ++steps) {
        std::uint32_t entryCode = 0, address = 0;
        if (!core.read(at, 2, entryCode) || !core.read(at + 2, 2, address)) {
            core.stop("bootrom: rom_table_lookup read outside memory at " + hex(at));
            return;
        }
        if (entryCode == 0) {
            core.setReg(0, 0);
            break;
        }
        if (entryCode == wanted) {
            core.setReg(0, address);
            break;
        }
    }
    host_.chargeCycles(core, 8 + 7 * steps);
}

void Bootrom::memset(arm::Core& core, bool words) {
    const std::uint32_t ptr = core.reg(0), n = core.reg(2);
    const std::uint32_t c = core.reg(1) & 0xff;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (!core.write(ptr + i, 1, c)) {
            core.stop("bus error in bootrom memset writing " + hex(ptr + i));
            return;
        }
    }
    host_.chargeCycles(core, 20 + (words ? n / 2 : n));
}

void Bootrom::memcpy(arm::Core& core, bool words) {
    const std::uint32_t dst = core.reg(0), src = core.reg(1), n = core.reg(2);
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t b = 0;
        if (!core.read(src + i, 1, b)) {
            core.stop("bus error in bootrom memcpy reading " + hex(src + i));
            return;
        }
        if (!core.write(dst + i, 1, b)) {
            core.stop("bus error in bootrom memcpy writing " + hex(dst + i));
            return;
        }
    }
    host_.chargeCycles(core, 20 + (words ? n / 2 : n));
}

void Bootrom::flashErase(arm::Core& core) {
    // r0: offset into flash, r1: length (whole 4 KiB sectors).
    const std::uint32_t offset = core.reg(0), count = core.reg(1);
    if (offset % 4096 || count % 4096 || offset > addr::kFlashSize ||
        count > addr::kFlashSize - offset) {
        core.stop("bootrom: flash_range_erase of " + hex(count) + " bytes at offset " +
                  hex(offset) + " is not whole sectors within the flash");
        return;
    }
    std::uint8_t* flash = host_.flash();
    for (std::uint32_t i = 0; i < count; ++i)
        flash[offset + i] = 0xff;
    host_.chargeCycles(core, 100 + count / 4);
}

void Bootrom::flashProgram(arm::Core& core) {
    // r0: offset into flash, r1: the data, r2: length (whole 256-byte pages).
    const std::uint32_t offset = core.reg(0), data = core.reg(1), count = core.reg(2);
    if (offset % 256 || count % 256 || offset > addr::kFlashSize ||
        count > addr::kFlashSize - offset) {
        core.stop("bootrom: flash_range_program of " + hex(count) + " bytes at offset " +
                  hex(offset) + " is not whole pages within the flash");
        return;
    }
    std::uint8_t* flash = host_.flash();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t b = 0;
        if (!core.read(data + i, 1, b)) {
            core.stop("bus error in bootrom flash_range_program reading " + hex(data + i));
            return;
        }
        flash[offset + i] &= std::uint8_t(b); // programming only clears bits
    }
    host_.chargeCycles(core, 100 + count);
}

} // namespace sim::rp2040
