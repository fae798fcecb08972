// The 16 KiB boot ROM, carried out natively. The ROM image holds what code
// reads as data, laid out as on silicon: the vector table, the magic and
// version at 0x10, the 16-bit pointers to the function table, the data table
// and the lookup routine at 0x14, 0x16 and 0x18, and the tables of (two
// character code, 16-bit address) pairs. Every routine is a two-halfword
// stub, UDF #n then BX LR: the fabric hands the UDF here, the routine works
// on the calling core's registers and memory, and the BX LR returns as the
// ROM's own code would.
//
// Boot: a core out of reset fetches the ROM's reset vector, the boot stub.
// Core 1 then waits in the launch protocol (Core1Launch). Core 0 looks for
// the watchdog's boot magic in scratch 4..7 and, finding it, jumps to
// scratch 7 with scratch 6 as its stack; otherwise it boots the flash image:
// VTOR at 0x10000100, stack pointer and entry from there. The real ROM runs
// the image's boot stage 2 from the first 256 bytes first, to set up the
// flash interface; flash here is plain memory, so stage 2 is skipped.
#pragma once

#include "arm/core.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim::rp2040 {

// What the ROM's routines need from the chip around them.
class BootromHost {
public:
    virtual ~BootromHost() = default;
    virtual std::array<std::uint32_t, 8>& watchdogScratch() = 0;
    // The reset controller lets these blocks go.
    virtual void releaseResets(std::uint32_t mask) = 0;
    // The ROM turns off the digital inputs of the ADC pins (26..29).
    virtual void disableAdcPadInputs() = 0;
    // The flash array behind the XIP window (for the flash routines).
    virtual std::uint8_t* flash() = 0;
    // The core waits to be launched by the other one (the ROM's holding pen).
    virtual void parkForLaunch(arm::Core& core) = 0;
    // A routine took this many cycles beyond its UDF.
    virtual void chargeCycles(arm::Core& core, unsigned cycles) = 0;
    // The core reached the debugger trampoline's end: true if a debugger's
    // call returned there and the core goes on.
    virtual bool debuggerCallReturned(arm::Core&) { return false; }
};

class Bootrom {
public:
    static constexpr std::uint8_t kVersion = 3; // the ROM of a B2 chip
    static constexpr std::uint32_t kStackTop = 0x20042000;
    static constexpr std::uint32_t kBootMagic = 0xb007c0d3;
    static constexpr std::uint32_t kFlashVectors = 0x10000100;

    // The routines, by the number in their UDF.
    enum Routine : std::uint8_t {
        kBoot = 1,
        kContinueBoot,
        kNmi,
        kTableLookup,
        kPopcount32,
        kReverse32,
        kClz32,
        kCtz32,
        kMemset,
        kMemset4,
        kMemcpy,
        kMemcpy44,
        kResetToUsbBoot,
        kDebugTrampoline,
        kDebugTrampolineEnd,
        kWaitForVector,
        kConnectInternalFlash,
        kFlashExitXip,
        kFlashRangeErase,
        kFlashRangeProgram,
        kFlashFlushCache,
        kFlashEnterCmdXip,
        kFloatFirst = 0x40, // the soft float table's entries, in table order
        kDoubleFirst = 0x60,
        kRoutineEnd = 0x80,
    };
    static constexpr unsigned kTableEntries = 32;

    explicit Bootrom(BootromHost& host);

    // The ROM's bytes, for the cores' direct reads.
    std::uint8_t* bytes() { return rom_.data(); }
    static std::uint32_t stubAddress(std::uint8_t routine) { return kStubs + routine * 4u; }
    // Where a launched core 1 returns to if its entry function returns.
    static std::uint32_t parkingLoop() { return kParking; }
    static std::uint16_t code(char a, char b) {
        return std::uint16_t(std::uint8_t(a) | std::uint8_t(b) << 8);
    }

    // A UDF #imm at `pc`: true if it is one of the ROM's stubs, carried out.
    bool call(arm::Core& core, std::uint32_t pc, std::uint8_t imm);

    // The name of a routine, for reports ("memcpy", "fadd").
    static std::string routineName(std::uint8_t routine);

private:
    static constexpr std::uint32_t kParking = 0x0f0;
    static constexpr std::uint32_t kStubs = 0x100;
    static constexpr std::uint32_t kFunctionTable = 0x300;
    static constexpr std::uint32_t kDataTable = 0x380;
    static constexpr std::uint32_t kGitRevision = 0x3c0;
    static constexpr std::uint32_t kCopyright = 0x3c4;
    static constexpr std::uint32_t kFloatTable = 0x400;
    static constexpr std::uint32_t kDoubleTable = 0x480;

    void build();
    void put16(std::uint32_t at, std::uint32_t v);
    void put32(std::uint32_t at, std::uint32_t v);

    void boot(arm::Core& core);
    void bootFlash(arm::Core& core);
    void tableLookup(arm::Core& core);
    void memset(arm::Core& core, bool words);
    void memcpy(arm::Core& core, bool words);
    void flashErase(arm::Core& core);
    void flashProgram(arm::Core& core);
    void ret(arm::Core& core, std::uint32_t pc) { core.setPc(pc + 2); }

    BootromHost& host_;
    std::vector<std::uint8_t> rom_;
};

} // namespace sim::rp2040
