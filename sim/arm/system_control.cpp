// The core's private peripherals on the PPB at 0xE0000000: SysTick, the NVIC
// and the system control block. Word accesses only (the memory paths check
// that); unmodelled registers of the system control space read as zero and
// ignore writes (no MPU, no debug unit), the rest of the PPB does not answer.
#include "arm/core.h"

#include <cstdint>

namespace sim::arm {

namespace {

constexpr std::uint32_t kSystCsr = 0xE000E010u;
constexpr std::uint32_t kSystRvr = 0xE000E014u;
constexpr std::uint32_t kSystCvr = 0xE000E018u;
constexpr std::uint32_t kSystCalib = 0xE000E01Cu;
constexpr std::uint32_t kIser = 0xE000E100u;
constexpr std::uint32_t kIcer = 0xE000E180u;
constexpr std::uint32_t kIspr = 0xE000E200u;
constexpr std::uint32_t kIcpr = 0xE000E280u;
constexpr std::uint32_t kIpr0 = 0xE000E400u;
constexpr std::uint32_t kIpr7 = 0xE000E41Cu;
constexpr std::uint32_t kCpuid = 0xE000ED00u;
constexpr std::uint32_t kIcsr = 0xE000ED04u;
constexpr std::uint32_t kVtor = 0xE000ED08u;
constexpr std::uint32_t kAircr = 0xE000ED0Cu;
constexpr std::uint32_t kScr = 0xE000ED10u;
constexpr std::uint32_t kCcr = 0xE000ED14u;
constexpr std::uint32_t kShpr2 = 0xE000ED1Cu;
constexpr std::uint32_t kShpr3 = 0xE000ED20u;
constexpr std::uint32_t kShcsr = 0xE000ED24u;
constexpr std::uint32_t kScsFirst = 0xE000E000u;
constexpr std::uint32_t kScsLast = 0xE000EFFFu;

constexpr std::uint32_t kCpuidValue = 0x410CC601u; // ARM, Cortex-M0+ r0p1
constexpr std::uint32_t kCcrValue = 0x208u;        // STKALIGN | UNALIGN_TRP, fixed
constexpr std::uint32_t kAircrReadKey = 0xFA050000u;
constexpr std::uint32_t kAircrWriteKey = 0x05FAu;
constexpr std::uint32_t kSysResetReq = 1u << 2;

constexpr std::uint32_t kCsrEnable = 1u << 0;
constexpr std::uint32_t kCsrTickInt = 1u << 1;
constexpr std::uint32_t kCsrClkSource = 1u << 2;
constexpr std::uint32_t kCsrCountFlag = 1u << 16;
constexpr std::uint32_t kReloadMask = 0x00FFFFFFu;

constexpr std::uint32_t kNmiPendSet = 1u << 31;
constexpr std::uint32_t kPendSvSet = 1u << 28;
constexpr std::uint32_t kPendSvClr = 1u << 27;
constexpr std::uint32_t kPendStSet = 1u << 26;
constexpr std::uint32_t kPendStClr = 1u << 25;
constexpr std::uint32_t kIsrPending = 1u << 22;
constexpr std::uint32_t kSvCallPended = 1u << 15;

constexpr std::uint32_t kScrMask = 0x16u; // SLEEPONEXIT, SLEEPDEEP, SEVONPEND
constexpr std::uint8_t kPriorityBits = 0xC0u;

} // namespace

std::uint32_t Core::icsr() const {
    std::uint32_t value = ipsr_; // VECTACTIVE
    const Candidate next = bestPending();
    value |= (next.number & 0x1FFu) << 12; // VECTPENDING
    if ((nvicPending_ & nvicEnabled_) != 0) {
        value |= kIsrPending;
    }
    if (sysPending_ & (1u << exc::kNmi)) {
        value |= kNmiPendSet;
    }
    if (sysPending_ & (1u << exc::kPendSv)) {
        value |= kPendSvSet;
    }
    if (sysPending_ & (1u << exc::kSysTick)) {
        value |= kPendStSet;
    }
    return value;
}

bool Core::ppbRead(std::uint32_t address, std::uint32_t& value, bool sideEffects) {
    if (address >= kIpr0 && address <= kIpr7) {
        const unsigned first = address - kIpr0;
        value = 0;
        for (unsigned i = 0; i < 4; ++i) {
            value |= std::uint32_t{irqPriority_[first + i]} << (8 * i);
        }
        return true;
    }
    switch (address) {
    case kSystCsr:
        value = systCsr_ | (countFlag_ ? kCsrCountFlag : 0u);
        if (sideEffects) {
            countFlag_ = false; // cleared by the read
        }
        return true;
    case kSystRvr:
        value = systReload_;
        return true;
    case kSystCvr:
        value = systCurrent_;
        return true;
    case kSystCalib:
        value = 0; // no reference clock figures
        return true;
    case kIser:
    case kIcer:
        value = nvicEnabled_;
        return true;
    case kIspr:
    case kIcpr:
        value = nvicPending_;
        return true;
    case kCpuid:
        value = kCpuidValue;
        return true;
    case kIcsr:
        value = icsr();
        return true;
    case kVtor:
        value = vtor_;
        return true;
    case kAircr:
        value = kAircrReadKey;
        return true;
    case kScr:
        value = scr_;
        return true;
    case kCcr:
        value = kCcrValue;
        return true;
    case kShpr2:
        value = std::uint32_t{svcPriority_} << 24;
        return true;
    case kShpr3:
        value = (std::uint32_t{sysTickPriority_} << 24) | (std::uint32_t{pendSvPriority_} << 16);
        return true;
    case kShcsr:
        value = (sysPending_ & (1u << exc::kSvCall)) ? kSvCallPended : 0u;
        return true;
    default:
        value = 0;
        return address >= kScsFirst && address <= kScsLast;
    }
}

bool Core::ppbWrite(std::uint32_t address, std::uint32_t value) {
    if (address >= kIpr0 && address <= kIpr7) {
        const unsigned first = address - kIpr0;
        for (unsigned i = 0; i < 4; ++i) {
            irqPriority_[first + i] = static_cast<std::uint8_t>(value >> (8 * i)) & kPriorityBits;
        }
        attention_ = true;
        return true;
    }
    switch (address) {
    case kSystCsr:
        systCsr_ = value & (kCsrEnable | kCsrTickInt | kCsrClkSource);
        return true;
    case kSystRvr:
        systReload_ = value & kReloadMask;
        return true;
    case kSystCvr:
        // Any write clears the counter and the flag; it reloads on the next count.
        systCurrent_ = 0;
        countFlag_ = false;
        return true;
    case kIser:
        nvicEnabled_ |= value;
        attention_ = true;
        return true;
    case kIcer:
        nvicEnabled_ &= ~value;
        return true;
    case kIspr:
        for (std::uint32_t bits = value; bits != 0; bits &= bits - 1) {
            setPending(exc::kFirstExternal + static_cast<unsigned>(__builtin_ctz(bits)));
        }
        return true;
    case kIcpr:
        nvicPending_ &= ~value;
        refreshLevels();
        return true;
    case kIcsr:
        if (value & kNmiPendSet) {
            setPending(exc::kNmi);
        }
        if (value & kPendSvSet) {
            setPending(exc::kPendSv);
        } else if (value & kPendSvClr) {
            clearPending(exc::kPendSv);
        }
        if (value & kPendStSet) {
            setPending(exc::kSysTick);
        } else if (value & kPendStClr) {
            clearPending(exc::kSysTick);
        }
        return true;
    case kVtor:
        setVtor(value);
        return true;
    case kAircr:
        if ((value >> 16) == kAircrWriteKey && (value & kSysResetReq)) {
            // Reported once the instruction is done, so the chip may reset us.
            resetRequested_ = true;
        }
        return true;
    case kScr:
        scr_ = value & kScrMask;
        return true;
    case kShpr2:
        svcPriority_ = static_cast<std::uint8_t>(value >> 24) & kPriorityBits;
        attention_ = true;
        return true;
    case kShpr3:
        sysTickPriority_ = static_cast<std::uint8_t>(value >> 24) & kPriorityBits;
        pendSvPriority_ = static_cast<std::uint8_t>(value >> 16) & kPriorityBits;
        attention_ = true;
        return true;
    case kShcsr:
        if (value & kSvCallPended) {
            setPending(exc::kSvCall);
        } else {
            clearPending(exc::kSvCall);
        }
        return true;
    default:
        return address >= kScsFirst && address <= kScsLast;
    }
}

void Core::countDown(std::uint64_t cycles) {
    static_assert(kSysTickCounts == (kCsrEnable | kCsrClkSource));
    // Each count: a counter at zero reloads, one above zero decrements; the
    // step from 1 to 0 is the wrap that sets COUNTFLAG and may pend SysTick.
    bool wrapped = false;
    while (cycles > 0) {
        if (systCurrent_ == 0) {
            if (systReload_ == 0) {
                break; // a zero reload holds the counter at zero, no wraps
            }
            systCurrent_ = systReload_;
            --cycles;
            continue;
        }
        if (cycles < systCurrent_) {
            systCurrent_ -= static_cast<std::uint32_t>(cycles);
            break;
        }
        cycles -= systCurrent_;
        systCurrent_ = 0;
        wrapped = true;
        // Whole periods of reload + 1 counts change nothing more.
        cycles %= std::uint64_t{systReload_} + 1;
    }
    if (wrapped) {
        countFlag_ = true;
        if (systCsr_ & kCsrTickInt) {
            setPending(exc::kSysTick);
        }
    }
}

std::uint64_t Core::cyclesToSysTick() const {
    if ((systCsr_ & (kCsrEnable | kCsrClkSource)) != (kCsrEnable | kCsrClkSource)) {
        return UINT64_MAX;
    }
    if (systCurrent_ != 0) {
        return systCurrent_;
    }
    return systReload_ == 0 ? UINT64_MAX : std::uint64_t{systReload_} + 1;
}

} // namespace sim::arm
