// One step of the core: wake-up, exception entry, fetch, and the Thumb
// instructions of ARMv6-M with their flags and cycle counts.
#include "arm/core.h"
#include "arm/cycles.h"
#include "arm/format.h"
#include "arm/memory_access.h"
#include "arm/thumb_decode.h"

#include <cstring>

namespace sim::arm {

namespace {

constexpr std::uint32_t bit(std::uint32_t value, unsigned n) {
    return (value >> n) & 1u;
}

// The I/O port (the chip's SIO at 0xD0000000) answers single loads and
// stores in one cycle.
constexpr unsigned accessCycles(std::uint32_t address) {
    return (address >> 28) == 0xDu ? cycles::kIoPort : cycles::kLoadStore;
}

// The default memory map never executes from peripherals, devices or the
// system region.
constexpr bool executeNever(std::uint32_t address) {
    return (address >= 0x40000000u && address < 0x60000000u) || address >= 0xA0000000u;
}

// The registers in a list. The baseline x86-64 target has no popcount
// instruction, and the builtin would be a library call.
constexpr unsigned bitCount(std::uint32_t v) {
    v = v - ((v >> 1) & 0x55555555u);
    v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
    return (((v + (v >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
}
static_assert(bitCount(0) == 0 && bitCount(0x1ff) == 9 && bitCount(0xffffffffu) == 32);

constexpr std::uint32_t signExtend(std::uint32_t value, unsigned bits) {
    const std::uint32_t sign = 1u << (bits - 1);
    return (value ^ sign) - sign;
}

} // namespace

// --- flags -------------------------------------------------------------------

#define SET_NZ(result)                                                                             \
    do {                                                                                           \
        n_ = ((result) >> 31) != 0;                                                                \
        z_ = (result) == 0;                                                                        \
    } while (false)

namespace {

// AddWithCarry of the architecture: the sum and its carry and overflow.
struct Sum {
    std::uint32_t result;
    bool carry;
    bool overflow;
};

inline Sum addWithCarry(std::uint32_t a, std::uint32_t b, std::uint32_t carryIn) {
    const std::uint64_t wide = std::uint64_t{a} + b + carryIn;
    const auto result = static_cast<std::uint32_t>(wide);
    return Sum{result, (wide >> 32) != 0, (((a ^ result) & (b ^ result)) >> 31) != 0};
}

} // namespace

#define ADD_FLAGS(dest, a, b, carryIn)                                                             \
    do {                                                                                           \
        const Sum s_ = addWithCarry((a), (b), (carryIn));                                          \
        SET_NZ(s_.result);                                                                         \
        c_ = s_.carry;                                                                             \
        v_ = s_.overflow;                                                                          \
        dest = s_.result;                                                                          \
    } while (false)

// --- fetch --------------------------------------------------------------------

bool Core::fetchSlow(std::uint32_t address, std::uint32_t& halfword) {
    if (executeNever(address)) {
        fault("instruction fetch from " + hex(address) + " (execute-never region)");
        return false;
    }
    if (const Region* r = findRegion(address, 2)) {
        // The region becomes the fetch window of the fast path.
        fetchHost_ = r->host;
        fetchBase_ = r->base;
        fetchLimit_ = r->size - 1;
        std::uint16_t half;
        std::memcpy(&half, r->host + (address - r->base), 2);
        halfword = half;
        return true;
    }
    if (!bus_.load(id_, address, 2, halfword)) {
        fault("instruction fetch from " + hex(address));
        return false;
    }
    stall_ += static_cast<int>(bus_.waitStates(address, false));
    return true;
}

// --- the step -------------------------------------------------------------------

unsigned Core::step() {
    if (state_ != State::Running) {
        if (state_ == State::Stopped || !wakeCondition()) {
            return 0;
        }
        state_ = State::Running;
    }
    unsigned cycles = 0;
    if (attention_) {
        cycles = checkExceptions();
    }
    if (cycles == 0 && state_ == State::Running) {
        const std::uint32_t pc = pc_;
        curPc_ = pc;
        std::uint32_t insn;
        const std::uint32_t offset = pc - fetchBase_;
        if (offset < fetchLimit_) {
            std::uint16_t half;
            std::memcpy(&half, fetchHost_ + offset, 2);
            insn = half;
        } else if (!fetchSlow(pc, insn)) {
            stall_ = 0;
            return 0;
        }
        recent_[recentCount_++ & 31u] = pc;
        pc_ = pc + 2;
        cycles = execute(insn);
        if (state_ != State::Stopped) {
            ++instructions_;
        }
    }
    if (state_ == State::Stopped) {
        cycles = 0;
    } else if (stall_ != 0) {
        cycles += static_cast<unsigned>(stall_);
    }
    stall_ = 0;
    if (resetRequested_) {
        resetRequested_ = false;
        if (resetRequest_) {
            resetRequest_();
        }
    }
    return cycles;
}

unsigned Core::branchExchange(std::uint32_t target, unsigned cycles) {
    if (ipsr_ != 0 && (target >> 28) == 0xFu) {
        const unsigned extra = exceptionReturn(target);
        return extra == 0 ? 0 : cycles + extra;
    }
    if ((target & 1u) == 0) {
        fault("branch to " + hex(target) + " without the Thumb bit");
        return 0;
    }
    pc_ = target & ~1u;
    return cycles;
}

// Inlined into step(): the call and its spills cost a third of the speed.
__attribute__((always_inline)) inline unsigned Core::execute(std::uint32_t i) {
    auto& r = r_;
    const unsigned rd = i & 7u;
    const unsigned rn = (i >> 3) & 7u;
    const unsigned rm = (i >> 6) & 7u;
    switch (kThumbDecode[i]) {
    // --- shift (immediate), add, subtract, move, compare ---
    case Op::LslImm: {
        const unsigned shift = (i >> 6) & 31u;
        std::uint32_t value = r[rn];
        if (shift != 0) {
            c_ = bit(value, 32 - shift);
            value <<= shift;
        }
        SET_NZ(value);
        r[rd] = value;
        return cycles::kDataProcessing;
    }
    case Op::LsrImm: {
        const unsigned shift = ((i >> 6) & 31u) ? ((i >> 6) & 31u) : 32u;
        const std::uint32_t value = r[rn];
        c_ = bit(value, shift - 1);
        const std::uint32_t result = shift == 32 ? 0 : value >> shift;
        SET_NZ(result);
        r[rd] = result;
        return cycles::kDataProcessing;
    }
    case Op::AsrImm: {
        const unsigned shift = ((i >> 6) & 31u) ? ((i >> 6) & 31u) : 32u;
        const auto value = static_cast<std::int32_t>(r[rn]);
        c_ = bit(static_cast<std::uint32_t>(value >> (shift - 1)), 0);
        const auto result = static_cast<std::uint32_t>(value >> (shift == 32 ? 31 : shift));
        SET_NZ(result);
        r[rd] = result;
        return cycles::kDataProcessing;
    }
    case Op::AddReg:
        ADD_FLAGS(r[rd], r[rn], r[rm], 0u);
        return cycles::kDataProcessing;
    case Op::SubReg:
        ADD_FLAGS(r[rd], r[rn], ~r[rm], 1u);
        return cycles::kDataProcessing;
    case Op::AddImm3:
        ADD_FLAGS(r[rd], r[rn], rm, 0u);
        return cycles::kDataProcessing;
    case Op::SubImm3:
        ADD_FLAGS(r[rd], r[rn], ~static_cast<std::uint32_t>(rm), 1u);
        return cycles::kDataProcessing;
    case Op::MovImm: {
        const std::uint32_t value = i & 0xFFu;
        SET_NZ(value);
        r[(i >> 8) & 7u] = value;
        return cycles::kDataProcessing;
    }
    case Op::CmpImm: {
        std::uint32_t ignored;
        ADD_FLAGS(ignored, r[(i >> 8) & 7u], ~(i & 0xFFu), 1u);
        (void)ignored;
        return cycles::kDataProcessing;
    }
    case Op::AddImm8: {
        const unsigned rdn = (i >> 8) & 7u;
        ADD_FLAGS(r[rdn], r[rdn], i & 0xFFu, 0u);
        return cycles::kDataProcessing;
    }
    case Op::SubImm8: {
        const unsigned rdn = (i >> 8) & 7u;
        ADD_FLAGS(r[rdn], r[rdn], ~(i & 0xFFu), 1u);
        return cycles::kDataProcessing;
    }

    // --- data processing (register) ---
    case Op::And:
        r[rd] &= r[rn];
        SET_NZ(r[rd]);
        return cycles::kDataProcessing;
    case Op::Eor:
        r[rd] ^= r[rn];
        SET_NZ(r[rd]);
        return cycles::kDataProcessing;
    case Op::Orr:
        r[rd] |= r[rn];
        SET_NZ(r[rd]);
        return cycles::kDataProcessing;
    case Op::Bic:
        r[rd] &= ~r[rn];
        SET_NZ(r[rd]);
        return cycles::kDataProcessing;
    case Op::Mvn:
        r[rd] = ~r[rn];
        SET_NZ(r[rd]);
        return cycles::kDataProcessing;
    case Op::Tst: {
        const std::uint32_t value = r[rd] & r[rn];
        SET_NZ(value);
        return cycles::kDataProcessing;
    }
    case Op::Mul:
        r[rd] *= r[rn]; // C and V keep their values
        SET_NZ(r[rd]);
        return cycles::kDataProcessing;
    case Op::Adc:
        ADD_FLAGS(r[rd], r[rd], r[rn], c_ ? 1u : 0u);
        return cycles::kDataProcessing;
    case Op::Sbc:
        ADD_FLAGS(r[rd], r[rd], ~r[rn], c_ ? 1u : 0u);
        return cycles::kDataProcessing;
    case Op::Rsb:
        ADD_FLAGS(r[rd], ~r[rn], 0u, 1u);
        return cycles::kDataProcessing;
    case Op::CmpReg: {
        std::uint32_t ignored;
        ADD_FLAGS(ignored, r[rd], ~r[rn], 1u);
        (void)ignored;
        return cycles::kDataProcessing;
    }
    case Op::Cmn: {
        std::uint32_t ignored;
        ADD_FLAGS(ignored, r[rd], r[rn], 0u);
        (void)ignored;
        return cycles::kDataProcessing;
    }
    // Shifts by register use the bottom byte of the amount: 32 and more
    // shift everything out.
    case Op::LslReg: {
        const std::uint32_t amount = r[rn] & 0xFFu;
        std::uint32_t value = r[rd];
        if (amount != 0) {
            c_ = amount <= 32 ? bit(value, 32 - amount) : false;
            value = amount < 32 ? value << amount : 0;
        }
        SET_NZ(value);
        r[rd] = value;
        return cycles::kDataProcessing;
    }
    case Op::LsrReg: {
        const std::uint32_t amount = r[rn] & 0xFFu;
        std::uint32_t value = r[rd];
        if (amount != 0) {
            c_ = amount <= 32 ? bit(value, amount - 1) : false;
            value = amount < 32 ? value >> amount : 0;
        }
        SET_NZ(value);
        r[rd] = value;
        return cycles::kDataProcessing;
    }
    case Op::AsrReg: {
        const std::uint32_t amount = r[rn] & 0xFFu;
        auto value = static_cast<std::int32_t>(r[rd]);
        if (amount != 0) {
            const unsigned shift = amount < 32 ? amount : 32;
            c_ = bit(static_cast<std::uint32_t>(value >> (shift - 1)), 0);
            value >>= (shift < 32 ? shift : 31);
        }
        const auto result = static_cast<std::uint32_t>(value);
        SET_NZ(result);
        r[rd] = result;
        return cycles::kDataProcessing;
    }
    case Op::RorReg: {
        const std::uint32_t amount = r[rn] & 0xFFu;
        std::uint32_t value = r[rd];
        if (amount != 0) {
            const unsigned rotate = amount & 31u;
            if (rotate != 0) {
                value = (value >> rotate) | (value << (32 - rotate));
            }
            c_ = bit(value, 31);
        }
        SET_NZ(value);
        r[rd] = value;
        return cycles::kDataProcessing;
    }

    // --- high registers and branch exchange ---
    case Op::AddHigh: {
        const unsigned rdn = (i & 7u) | ((i >> 4) & 8u);
        const unsigned source = (i >> 3) & 15u;
        const std::uint32_t a = rdn == 15 ? curPc_ + 4 : r[rdn];
        const std::uint32_t b = source == 15 ? curPc_ + 4 : r[source];
        const std::uint32_t result = a + b;
        if (rdn == 15) {
            pc_ = result & ~1u;
            return cycles::kBranchToPc;
        }
        r[rdn] = rdn == 13 ? result & ~3u : result;
        return cycles::kDataProcessing;
    }
    case Op::CmpHigh: {
        const unsigned first = (i & 7u) | ((i >> 4) & 8u);
        const unsigned second = (i >> 3) & 15u;
        const std::uint32_t a = first == 15 ? curPc_ + 4 : r[first];
        const std::uint32_t b = second == 15 ? curPc_ + 4 : r[second];
        std::uint32_t ignored;
        ADD_FLAGS(ignored, a, ~b, 1u);
        (void)ignored;
        return cycles::kDataProcessing;
    }
    case Op::MovHigh: {
        const unsigned dest = (i & 7u) | ((i >> 4) & 8u);
        const unsigned source = (i >> 3) & 15u;
        const std::uint32_t value = source == 15 ? curPc_ + 4 : r[source];
        if (dest == 15) {
            pc_ = value & ~1u;
            return cycles::kBranchToPc;
        }
        r[dest] = dest == 13 ? value & ~3u : value;
        return cycles::kDataProcessing;
    }
    case Op::Bx: {
        const unsigned source = (i >> 3) & 15u;
        return branchExchange(source == 15 ? curPc_ + 4 : r[source], cycles::kBranchExchange);
    }
    case Op::Blx: {
        const unsigned source = (i >> 3) & 15u;
        const std::uint32_t target = source == 15 ? curPc_ + 4 : r[source];
        if ((target & 1u) == 0) {
            fault("branch to " + hex(target) + " without the Thumb bit");
            return 0;
        }
        r[14] = (curPc_ + 2) | 1u;
        pc_ = target & ~1u;
        return cycles::kBranchExchange;
    }

    // --- loads and stores ---
    case Op::LdrLiteral: {
        const std::uint32_t address = ((curPc_ + 4) & ~3u) + ((i & 0xFFu) << 2);
        if (!load<4>(address, r[(i >> 8) & 7u])) {
            return 0;
        }
        return accessCycles(address);
    }
    case Op::StrReg: {
        const std::uint32_t address = r[rn] + r[rm];
        return store<4>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::StrhReg: {
        const std::uint32_t address = r[rn] + r[rm];
        return store<2>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::StrbReg: {
        const std::uint32_t address = r[rn] + r[rm];
        return store<1>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::LdrReg: {
        const std::uint32_t address = r[rn] + r[rm];
        return load<4>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::LdrhReg: {
        const std::uint32_t address = r[rn] + r[rm];
        return load<2>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::LdrbReg: {
        const std::uint32_t address = r[rn] + r[rm];
        return load<1>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::LdrsbReg: {
        const std::uint32_t address = r[rn] + r[rm];
        std::uint32_t value;
        if (!load<1>(address, value)) {
            return 0;
        }
        r[rd] = signExtend(value, 8);
        return accessCycles(address);
    }
    case Op::LdrshReg: {
        const std::uint32_t address = r[rn] + r[rm];
        std::uint32_t value;
        if (!load<2>(address, value)) {
            return 0;
        }
        r[rd] = signExtend(value, 16);
        return accessCycles(address);
    }
    case Op::StrImm: {
        const std::uint32_t address = r[rn] + (((i >> 6) & 31u) << 2);
        return store<4>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::LdrImm: {
        const std::uint32_t address = r[rn] + (((i >> 6) & 31u) << 2);
        return load<4>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::StrbImm: {
        const std::uint32_t address = r[rn] + ((i >> 6) & 31u);
        return store<1>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::LdrbImm: {
        const std::uint32_t address = r[rn] + ((i >> 6) & 31u);
        return load<1>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::StrhImm: {
        const std::uint32_t address = r[rn] + (((i >> 6) & 31u) << 1);
        return store<2>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::LdrhImm: {
        const std::uint32_t address = r[rn] + (((i >> 6) & 31u) << 1);
        return load<2>(address, r[rd]) ? accessCycles(address) : 0;
    }
    case Op::StrSp: {
        const std::uint32_t address = r[13] + ((i & 0xFFu) << 2);
        return store<4>(address, r[(i >> 8) & 7u]) ? accessCycles(address) : 0;
    }
    case Op::LdrSp: {
        const std::uint32_t address = r[13] + ((i & 0xFFu) << 2);
        return load<4>(address, r[(i >> 8) & 7u]) ? accessCycles(address) : 0;
    }

    // --- addresses and the stack pointer ---
    case Op::Adr:
        r[(i >> 8) & 7u] = ((curPc_ + 4) & ~3u) + ((i & 0xFFu) << 2);
        return cycles::kDataProcessing;
    case Op::AddRdSp:
        r[(i >> 8) & 7u] = r[13] + ((i & 0xFFu) << 2);
        return cycles::kDataProcessing;
    case Op::AddSp:
        r[13] += (i & 0x7Fu) << 2;
        return cycles::kDataProcessing;
    case Op::SubSp:
        r[13] -= (i & 0x7Fu) << 2;
        return cycles::kDataProcessing;

    // --- extend and reverse ---
    case Op::Sxth:
        r[rd] = signExtend(r[rn] & 0xFFFFu, 16);
        return cycles::kDataProcessing;
    case Op::Sxtb:
        r[rd] = signExtend(r[rn] & 0xFFu, 8);
        return cycles::kDataProcessing;
    case Op::Uxth:
        r[rd] = r[rn] & 0xFFFFu;
        return cycles::kDataProcessing;
    case Op::Uxtb:
        r[rd] = r[rn] & 0xFFu;
        return cycles::kDataProcessing;
    case Op::Rev:
        r[rd] = __builtin_bswap32(r[rn]);
        return cycles::kDataProcessing;
    case Op::Rev16: {
        const std::uint32_t value = r[rn];
        r[rd] = ((value & 0x00FF00FFu) << 8) | ((value >> 8) & 0x00FF00FFu);
        return cycles::kDataProcessing;
    }
    case Op::Revsh: {
        const std::uint32_t value = r[rn];
        r[rd] = signExtend(((value & 0xFFu) << 8) | ((value >> 8) & 0xFFu), 16);
        return cycles::kDataProcessing;
    }

    // --- multiple registers ---
    case Op::Push: {
        const std::uint32_t list = i & 0x1FFu; // bit 8: LR
        const auto count = bitCount(list);
        std::uint32_t address = r[13] - 4 * count;
        const std::uint32_t start = address;
        for (unsigned reg = 0; reg < 9; ++reg) {
            if (list & (1u << reg)) {
                if (!store<4>(address, r[reg == 8 ? 14 : reg])) {
                    return 0;
                }
                address += 4;
            }
        }
        r[13] = start;
        return cycles::kMultipleBase + count;
    }
    case Op::Pop: {
        const std::uint32_t list = i & 0x1FFu; // bit 8: PC
        const auto count = bitCount(list);
        std::uint32_t address = r[13];
        for (unsigned reg = 0; reg < 8; ++reg) {
            if (list & (1u << reg)) {
                if (!load<4>(address, r[reg])) {
                    return 0;
                }
                address += 4;
            }
        }
        if ((list & 0x100u) == 0) {
            r[13] = address;
            return cycles::kMultipleBase + count;
        }
        std::uint32_t target;
        if (!load<4>(address, target)) {
            return 0;
        }
        r[13] = address + 4;
        return branchExchange(target, cycles::kPopPcBase + count);
    }
    case Op::Stm: {
        const unsigned base = (i >> 8) & 7u;
        const std::uint32_t list = i & 0xFFu;
        const auto count = bitCount(list);
        std::uint32_t address = r[base];
        for (unsigned reg = 0; reg < 8; ++reg) {
            if (list & (1u << reg)) {
                if (!store<4>(address, r[reg])) {
                    return 0;
                }
                address += 4;
            }
        }
        r[base] = address;
        return cycles::kMultipleBase + count;
    }
    case Op::Ldm: {
        const unsigned base = (i >> 8) & 7u;
        const std::uint32_t list = i & 0xFFu;
        const auto count = bitCount(list);
        std::uint32_t address = r[base];
        const std::uint32_t end = address + 4 * count;
        for (unsigned reg = 0; reg < 8; ++reg) {
            if (list & (1u << reg)) {
                if (!load<4>(address, r[reg])) {
                    return 0;
                }
                address += 4;
            }
        }
        // A base register in the list keeps the loaded value.
        if ((list & (1u << base)) == 0) {
            r[base] = end;
        }
        return cycles::kMultipleBase + count;
    }

    // --- branches ---
    case Op::BCond: {
        bool taken;
        switch ((i >> 8) & 0xFu) {
        case 0x0:
            taken = z_;
            break;
        case 0x1:
            taken = !z_;
            break;
        case 0x2:
            taken = c_;
            break;
        case 0x3:
            taken = !c_;
            break;
        case 0x4:
            taken = n_;
            break;
        case 0x5:
            taken = !n_;
            break;
        case 0x6:
            taken = v_;
            break;
        case 0x7:
            taken = !v_;
            break;
        case 0x8:
            taken = c_ && !z_;
            break;
        case 0x9:
            taken = !c_ || z_;
            break;
        case 0xA:
            taken = n_ == v_;
            break;
        case 0xB:
            taken = n_ != v_;
            break;
        case 0xC:
            taken = !z_ && n_ == v_;
            break;
        default:
            taken = z_ || n_ != v_;
            break;
        }
        if (!taken) {
            return cycles::kBranchNotTaken;
        }
        pc_ = curPc_ + 4 + (signExtend(i & 0xFFu, 8) << 1);
        return cycles::kBranchTaken;
    }
    case Op::B:
        pc_ = curPc_ + 4 + (signExtend(i & 0x7FFu, 11) << 1);
        return cycles::kBranchTaken;
    case Op::Thumb32:
        return execute32(i);

    // --- exceptions, hints, state ---
    case Op::Svc:
        // Taken at once: the instruction's time is the entry's.
        if (!raiseSvc(i & 0xFFu)) {
            return 0;
        }
        return checkExceptions();
    case Op::Udf:
        pc_ = curPc_;
        if (bus_.native(*this, curPc_, static_cast<std::uint8_t>(i & 0xFFu))) {
            return state_ == State::Stopped ? 0 : cycles::kHint;
        }
        fault("undefined instruction " + hex(i, 4));
        return 0;
    case Op::Bkpt:
        pc_ = curPc_;
        state_ = State::Stopped;
        stop_ = Stop{"breakpoint (BKPT #" + std::to_string(i & 0xFFu) + ")", curPc_};
        return 0;
    case Op::Cpsie:
        if (privileged()) {
            primask_ = false;
            attention_ = true;
        }
        return cycles::kHint;
    case Op::Cpsid:
        if (privileged()) {
            primask_ = true;
        }
        return cycles::kHint;
    case Op::Nop:
    case Op::Yield:
        return cycles::kHint;
    case Op::Wfe:
        if (event_) {
            event_ = false;
        } else {
            state_ = State::WaitForEvent;
        }
        return cycles::kSleepHint;
    case Op::Wfi:
        state_ = State::Sleeping; // step() wakes it at once if an exception waits
        return cycles::kSleepHint;
    case Op::Sev:
        event_ = true;
        if (sendEvent_) {
            sendEvent_();
        }
        return cycles::kHint;
    case Op::Undefined:
    default:
        fault("undefined instruction " + hex(i, 4));
        return 0;
    }
}

unsigned Core::execute32(std::uint32_t hw1) {
    std::uint32_t hw2;
    const std::uint32_t at = curPc_ + 2;
    const std::uint32_t offset = at - fetchBase_;
    if (offset < fetchLimit_) {
        std::uint16_t half;
        std::memcpy(&half, fetchHost_ + offset, 2);
        hw2 = half;
    } else if (!fetchSlow(at, hw2)) {
        return 0;
    }
    pc_ = curPc_ + 4;
    const std::uint32_t word = (hw1 << 16) | hw2;

    // Only the branch and miscellaneous control space exists on ARMv6-M.
    if ((hw1 & 0xF800u) == 0xF000u && (hw2 & 0x8000u) != 0) {
        const std::uint32_t op1 = (hw1 >> 4) & 0x7Fu;
        const std::uint32_t op2 = (hw2 >> 12) & 0x7u;
        if ((op2 & 0x5u) == 0x5u) {
            // BL: the offset's top bits come from S, J1 and J2.
            const std::uint32_t s = bit(hw1, 10);
            const std::uint32_t i1 = 1u ^ bit(hw2, 13) ^ s;
            const std::uint32_t i2 = 1u ^ bit(hw2, 11) ^ s;
            const std::uint32_t offset25 = (s << 24) | (i1 << 23) | (i2 << 22) |
                                           ((hw1 & 0x3FFu) << 12) | ((hw2 & 0x7FFu) << 1);
            r_[14] = (curPc_ + 4) | 1u;
            pc_ = curPc_ + 4 + signExtend(offset25, 25);
            return cycles::kBranchLink;
        }
        if (op2 == 0x0u) {
            if ((op1 & 0x7Eu) == 0x38u) { // MSR
                const unsigned source = hw1 & 0xFu;
                if (source != 13 && source != 15) {
                    writeSpecial(hw2 & 0xFFu, r_[source]);
                    return cycles::kSpecialRegister;
                }
            } else if ((op1 & 0x7Eu) == 0x3Eu) { // MRS
                const unsigned dest = (hw2 >> 8) & 0xFu;
                if (dest != 13 && dest != 15) {
                    r_[dest] = readSpecial(hw2 & 0xFFu);
                    return cycles::kSpecialRegister;
                }
            } else if (op1 == 0x3Bu) {
                const std::uint32_t opc = (hw2 >> 4) & 0xFu;
                if (opc >= 0x4u && opc <= 0x6u) {
                    return cycles::kBarrier; // DSB, DMB, ISB: nothing is buffered here
                }
            }
        }
    }
    fault("undefined instruction " + hex(word, 8));
    return 0;
}

} // namespace sim::arm
