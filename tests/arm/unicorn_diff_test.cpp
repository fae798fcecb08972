// The core against Unicorn (QEMU's ARM model, Cortex-M0): random streams of
// ARMv6-M instructions from a fixed seed run on both, then registers, flags
// and memory are compared. A difference is replayed one instruction at a
// time to name the first instruction where the two part.
#include "test_machine.h"

#include <gtest/gtest.h>
#include <unicorn/unicorn.h>

#include <cstring>
#include <random>
#include <sstream>

namespace armtest {
namespace {

constexpr std::uint32_t kCodeBase = kRamBase;           // the stream
constexpr std::uint32_t kWindow = kRamBase + 0x10000u;  // loads and stores
constexpr std::uint32_t kWindowBase = kWindow + 0x100u; // r7, never overwritten
constexpr std::uint32_t kStackTop = kRamBase + 0x1FF00u;
// The memory the streams reach: the window around r7 and the stack; both
// start with random bytes and are compared.
struct Area {
    std::uint32_t base;
    std::uint32_t size;
};
constexpr Area kAreas[] = {{kWindow, 0x400u}, {kStackTop - 0x100u, 0x200u}};
constexpr std::uint32_t kAreaBytes = 0x600u;
constexpr int kStreams = 3000;
constexpr int kStreamLength = 48;
constexpr int kMaxPushDepth = 24; // words

// The architectural state compared between the engines.
struct State {
    std::array<std::uint32_t, 15> r{}; // r0-r12, sp, lr
    std::uint32_t flags = 0;           // NZCV in bits 31:28
    std::uint32_t pc = 0;
    bool operator==(const State& o) const { return r == o.r && flags == o.flags && pc == o.pc; }
};

std::string describe(const State& a, const State& b) {
    std::ostringstream out;
    out << std::hex;
    for (unsigned i = 0; i < a.r.size(); ++i) {
        if (a.r[i] != b.r[i]) {
            out << " r" << std::dec << i << std::hex << ": core 0x" << a.r[i] << " unicorn 0x"
                << b.r[i];
        }
    }
    if (a.flags != b.flags) {
        out << " NZCV: core 0x" << (a.flags >> 28) << " unicorn 0x" << (b.flags >> 28);
    }
    if (a.pc != b.pc) {
        out << " pc: core 0x" << a.pc << " unicorn 0x" << b.pc;
    }
    return out.str();
}

// Random streams of valid, defined, in-range instructions.
class Generator {
public:
    explicit Generator(std::uint32_t seed) : rng_(seed) {}

    std::vector<std::uint16_t> stream() {
        code_.clear();
        depth_ = 0;
        while (static_cast<int>(code_.size()) < kStreamLength) {
            one();
        }
        // Leave the stack as it was so the next stream starts the same way.
        while (depth_ > 0) {
            const unsigned n = std::min(depth_, 4u);
            code_.push_back(static_cast<std::uint16_t>(0xB000u | n)); // ADD SP, #4n
            depth_ -= n;
        }
        return code_;
    }

    std::uint32_t word() { return static_cast<std::uint32_t>(rng_()); }
    std::uint32_t below(std::uint32_t n) { return word() % n; }

private:
    // Any low register but r7 (the window base) as a destination.
    unsigned dest() {
        const unsigned r = below(7);
        return r >= 7 ? 0 : r;
    }
    unsigned low() { return below(8); }
    void emit(std::uint32_t halfword) { code_.push_back(static_cast<std::uint16_t>(halfword)); }

    void one() {
        switch (below(16)) {
        case 0:
        case 1: { // data processing (register), all sixteen
            const unsigned op = below(16);
            const bool writes = op != 8 && op != 10 && op != 11; // TST, CMP, CMN
            emit(0x4000u | (op << 6) | (low() << 3) | (writes ? dest() : low()));
            break;
        }
        case 2: { // shift by register with an amount at the edges
            static const std::uint8_t amounts[] = {0, 1, 7, 31, 32, 33, 64, 255};
            const unsigned rs = dest();
            emit(0x2000u | (rs << 8) | amounts[below(8)]);
            static const unsigned shifts[] = {2, 3, 4, 7}; // LSL LSR ASR ROR
            emit(0x4000u | (shifts[below(4)] << 6) | (rs << 3) | dest());
            break;
        }
        case 3: // shift by immediate, add/sub register and imm3
            emit((below(7) << 11 & 0x1800u) | (below(0x800) & 0x7F8u) | dest());
            emit(0x1800u | (below(4) << 9) | (low() << 6) | (low() << 3) | dest());
            break;
        case 4: { // MOV/CMP/ADD/SUB imm8
            const unsigned op = below(4);
            emit(0x2000u | (op << 11) | ((op == 1 ? low() : dest()) << 8) | below(256));
            break;
        }
        case 5: { // extend and reverse
            if (below(2) == 0) {
                emit(0xB200u | (below(4) << 6) | (low() << 3) | dest());
            } else {
                static const unsigned ops[] = {0, 1, 3};
                emit(0xBA00u | (ops[below(3)] << 6) | (low() << 3) | dest());
            }
            break;
        }
        case 6: { // high registers: ADD, CMP, MOV without PC or SP as destination
            const unsigned op = below(3);
            unsigned d;
            unsigned m;
            do {
                d = below(13);
                m = below(14);
            } while (d == 7 || (op == 1 && d < 8 && m < 8));
            emit(0x4400u | (op << 8) | ((d & 8u) << 4) | (m << 3) | (d & 7u));
            break;
        }
        case 7: {                           // loads and stores, immediate offset from r7
            const unsigned kind = below(6); // STR LDR STRB LDRB STRH LDRH
            static const unsigned base[] = {0x6000, 0x6800, 0x7000, 0x7800, 0x8000, 0x8800};
            const bool load = kind & 1u;
            emit(base[kind] | (below(32) << 6) | (7u << 3) | (load ? dest() : low()));
            break;
        }
        case 8: {                         // loads and stores, register offset from r7
            const unsigned op = below(8); // STR STRH STRB LDRSB LDR LDRH LDRB LDRSH
            static const unsigned sizes[] = {4, 2, 1, 1, 4, 2, 1, 2};
            const unsigned rm = dest();
            emit(0x2000u | (rm << 8) | (below(64) * sizes[op] & 0xFFu));
            emit(0x5000u | (op << 9) | (rm << 6) | (7u << 3) | (op >= 3 ? dest() : low()));
            break;
        }
        case 9: // LDR literal (the code region), ADR, ADD Rd, SP
            emit(0x4800u | (dest() << 8) | below(256));
            emit((below(2) ? 0xA000u : 0xA800u) | (dest() << 8) | below(256));
            break;
        case 10: { // SP-relative store and load near the stack
            emit((below(2) ? 0x9000u : 0x9800u) | (dest() << 8) | below(16));
            break;
        }
        case 11: { // PUSH and POP, balanced
            const unsigned list = below(256);
            const unsigned count = static_cast<unsigned>(__builtin_popcount(list));
            if (below(2) == 0 && depth_ + count + 1 <= kMaxPushDepth) {
                const bool lr = below(2) == 0;
                if (count == 0 && !lr) {
                    break;
                }
                emit(0xB400u | (lr ? 0x100u : 0u) | list);
                depth_ += count + (lr ? 1 : 0);
            } else {
                const unsigned popList = list & ~0x80u; // never r7
                const unsigned n = static_cast<unsigned>(__builtin_popcount(popList));
                if (n == 0 || n > depth_) {
                    break;
                }
                emit(0xBC00u | popList);
                depth_ -= n;
            }
            break;
        }
        case 12: { // LDM/STM through a copy of r7
            const unsigned b = dest();
            emit(0x1C00u | (7u << 3) | b); // ADDS rb, r7, #0
            unsigned list = below(255) + 1;
            if (below(2) == 0) {
                // STM: the base in the list only as its lowest register.
                if ((list & (1u << b)) && (list & ((1u << b) - 1))) {
                    list &= ~(1u << b);
                }
                if (list == 0) {
                    list = 1u << b;
                }
                emit(0xC000u | (b << 8) | list);
            } else {
                list &= ~0x80u;
                if (list == 0) {
                    list = 1;
                }
                emit(0xC800u | (b << 8) | list);
            }
            break;
        }
        case 13: { // forward branches over up to three instructions
            const unsigned skip = below(4);
            const unsigned kind = below(3);
            if (kind == 0) {
                emit(0xE000u | ((skip - 1) & 0x7FFu));
            } else if (kind == 1) {
                emit(0xD000u | (below(14) << 8) | ((skip - 1) & 0xFFu));
            } else {
                const std::uint32_t offset = 2 * skip; // BL: target = next + offset
                emit(0xF000u | ((offset >> 12) & 0x3FFu));
                emit(0xF800u | ((offset >> 1) & 0x7FFu));
            }
            for (unsigned i = 0; i < skip; ++i) {
                emit(0x4000u | (below(16) << 6) | (low() << 3) | dest());
            }
            break;
        }
        case 14: { // the flags through MSR, read back with MRS
            // Only NZCV go in: Unicorn keeps a Q flag from bit 27 and reads
            // it back, where ARMv6-M has none (that bit reads as zero).
            const unsigned rn = dest();
            emit(0x0F00u | (low() << 3) | rn); // LSRS rn, rm, #28
            emit(0x0700u | (rn << 3) | rn);    // LSLS rn, rn, #28
            emit(0xF380u | rn);
            emit(0x8800u);
            emit(0xF3EFu);
            emit(0x8000u | (dest() << 8));
            break;
        }
        default: // multiply
            emit(0x4340u | (low() << 3) | dest());
            break;
        }
    }

    std::mt19937 rng_;
    std::vector<std::uint16_t> code_;
    unsigned depth_ = 0;
};

class UnicornDiff : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(uc_open(UC_ARCH_ARM, static_cast<uc_mode>(UC_MODE_THUMB | UC_MODE_MCLASS), &uc_),
                  UC_ERR_OK);
        ASSERT_EQ(uc_ctl_set_cpu_model(uc_, UC_CPU_ARM_CORTEX_M0), UC_ERR_OK);
        ASSERT_EQ(uc_mem_map(uc_, kRamBase, kRamSize, UC_PROT_ALL), UC_ERR_OK);
    }
    void TearDown() override {
        if (uc_ != nullptr) {
            uc_close(uc_);
        }
    }

    void load(const std::vector<std::uint16_t>& code, const State& start,
              const std::vector<std::uint8_t>& window) {
        std::memcpy(&m_.ram()[kCodeBase - kRamBase], code.data(), 2 * code.size());
        std::uint32_t at = 0;
        for (const Area& area : kAreas) {
            std::memcpy(&m_.ram()[area.base - kRamBase], window.data() + at, area.size);
            uc_mem_write(uc_, area.base, window.data() + at, area.size);
            at += area.size;
        }
        uc_mem_write(uc_, kCodeBase, code.data(), 2 * code.size());
        uc_ctl_remove_cache(uc_, kCodeBase, kCodeBase + 0x1000);

        auto& core = m_.core();
        core.resetRegisters();
        for (unsigned i = 0; i < 13; ++i) {
            core.setReg(i, start.r[i]);
            uc_reg_write(uc_, UC_ARM_REG_R0 + static_cast<int>(i), &start.r[i]);
        }
        core.setMsp(start.r[13]);
        core.setReg(14, start.r[14]);
        uc_reg_write(uc_, UC_ARM_REG_SP, &start.r[13]);
        uc_reg_write(uc_, UC_ARM_REG_LR, &start.r[14]);
        // The flags go in through the core's own MSR: r12 and APSR, then r12 back.
        const std::uint32_t xpsr = start.flags | (1u << 24);
        uc_reg_write(uc_, UC_ARM_REG_XPSR, &xpsr);
        core.setReg(12, start.flags);
        const std::uint16_t msr[2] = {0xF38C, 0x8800};
        std::memcpy(&m_.ram()[kScratch - kRamBase], msr, 4);
        core.setPc(kScratch);
        core.step();
        core.setReg(12, start.r[12]);
        core.setPc(kCodeBase);
    }

    State coreState() {
        auto& core = m_.core();
        State s;
        for (unsigned i = 0; i < 15; ++i) {
            s.r[i] = core.reg(i);
        }
        s.flags = core.xpsr() & 0xF0000000u;
        s.pc = core.pc();
        return s;
    }

    State unicornState() {
        State s;
        for (unsigned i = 0; i < 13; ++i) {
            uc_reg_read(uc_, UC_ARM_REG_R0 + static_cast<int>(i), &s.r[i]);
        }
        uc_reg_read(uc_, UC_ARM_REG_SP, &s.r[13]);
        uc_reg_read(uc_, UC_ARM_REG_LR, &s.r[14]);
        std::uint32_t xpsr = 0;
        uc_reg_read(uc_, UC_ARM_REG_XPSR, &xpsr);
        s.flags = xpsr & 0xF0000000u;
        uc_reg_read(uc_, UC_ARM_REG_PC, &s.pc);
        s.pc &= ~1u;
        return s;
    }

    bool memoryEqual(std::uint32_t& firstDifference) {
        std::vector<std::uint8_t> theirs(kAreaBytes);
        for (const Area& area : kAreas) {
            uc_mem_read(uc_, area.base, theirs.data(), area.size);
            const std::uint8_t* ours = &m_.ram()[area.base - kRamBase];
            if (std::memcmp(ours, theirs.data(), area.size) == 0) {
                continue;
            }
            for (std::uint32_t i = 0; i < area.size; ++i) {
                if (ours[i] != theirs[i]) {
                    firstDifference = area.base + i;
                    return false;
                }
            }
        }
        return true;
    }

    // Runs the core to the end of the stream; false if it stopped on the way.
    bool runCore(std::uint32_t end) {
        auto& core = m_.core();
        for (int guard = 0; core.pc() != end && guard < 4 * kStreamLength; ++guard) {
            if (core.step() == 0) {
                return false;
            }
        }
        return core.pc() == end;
    }

    // One instruction at a time on both, from the start, to the first
    // instruction after which the two differ.
    std::string firstDivergence(const std::vector<std::uint16_t>& code, const State& start,
                                const std::vector<std::uint8_t>& window) {
        load(code, start, window);
        const std::uint32_t end = kCodeBase + 2 * static_cast<std::uint32_t>(code.size());
        auto& core = m_.core();
        while (core.pc() != end) {
            const std::uint32_t at = core.pc();
            const std::uint16_t insn = code[(at - kCodeBase) / 2];
            core.step();
            uc_emu_start(uc_, at | 1u, end, 0, 1);
            std::uint32_t address = 0;
            const State ours = coreState();
            const State theirs = unicornState();
            if (!(ours == theirs) || !memoryEqual(address)) {
                std::ostringstream out;
                out << "first difference after 0x" << std::hex << insn;
                if (insn >= 0xE800u) {
                    out << " 0x" << code[(at - kCodeBase) / 2 + 1];
                }
                out << " at 0x" << at << ":" << describe(ours, theirs);
                if (ours == theirs) {
                    out << " memory at 0x" << address;
                }
                if (!core.running()) {
                    out << " (core: " << core.stopInfo().reason << ")";
                }
                return out.str();
            }
        }
        return "no difference on replay";
    }

    static constexpr std::uint32_t kScratch = kRamBase + 0x30000u;
    TestMachine m_;
    uc_engine* uc_ = nullptr;
};

TEST_F(UnicornDiff, RandomStreamsAgree) {
    Generator gen(0x5EED0001u);
    std::vector<std::uint8_t> window(kAreaBytes);
    std::uint64_t instructions = 0;
    for (int n = 0; n < kStreams; ++n) {
        const std::vector<std::uint16_t> code = gen.stream();
        State start;
        for (unsigned i = 0; i < 13; ++i) {
            start.r[i] = gen.word();
        }
        start.r[7] = kWindowBase;
        start.r[13] = kStackTop;
        start.r[14] = gen.word();
        start.flags = gen.word() & 0xF0000000u;
        for (auto& b : window) {
            b = static_cast<std::uint8_t>(gen.below(256));
        }
        load(code, start, window);
        const std::uint32_t end = kCodeBase + 2 * static_cast<std::uint32_t>(code.size());
        const std::uint64_t before = m_.core().instructions();
        const bool finished = runCore(end);
        instructions += m_.core().instructions() - before;
        ASSERT_EQ(uc_emu_start(uc_, kCodeBase | 1u, end, 0, 0), UC_ERR_OK) << "stream " << n;
        std::uint32_t address = 0;
        if (!finished || !(coreState() == unicornState()) || !memoryEqual(address)) {
            FAIL() << "stream " << n << ": " << firstDivergence(code, start, window);
        }
    }
    // Every stream ran most of its instructions (branches skip a few).
    EXPECT_GT(instructions, static_cast<std::uint64_t>(kStreams) * kStreamLength / 2);
}

} // namespace
} // namespace armtest
