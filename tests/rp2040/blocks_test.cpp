// The system blocks on their own: the reset controller, the power-on state
// machine, the clock generators, the oscillators and PLLs, the stored
// blocks, and the fabric's atomic aliases, narrow writes and SRAM alias.
#include "rp2040/bootrom.h"
#include "rp2040/bus_fabric.h"
#include "rp2040/clocks.h"
#include "rp2040/pll.h"
#include "rp2040/psm.h"
#include "rp2040/resets.h"
#include "rp2040/rosc.h"
#include "rp2040/sio.h"
#include "rp2040/stored_block.h"
#include "rp2040/xosc.h"

#include "sdk/host_chip.h"
#include "engine/simulation.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace sim::rp2040;
using sim::microseconds;

TEST(ResetsBlock, HeldBlocksAndWhatTheListenerHears) {
    Resets r;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> heard;
    r.setListener([&](std::uint32_t in, std::uint32_t out) { heard.emplace_back(in, out); });
    EXPECT_EQ(r.peek(Resets::kReset), resetbit::kAll);
    EXPECT_EQ(r.peek(Resets::kResetDone), 0u);
    r.write(Resets::kReset, resetbit::kAll & ~(resetbit::kTimer | resetbit::kPwm));
    EXPECT_EQ(r.peek(Resets::kResetDone), resetbit::kTimer | resetbit::kPwm);
    r.write(Resets::kReset, resetbit::kAll & ~resetbit::kPwm);
    r.write(Resets::kWdsel, 0xffffffff);
    EXPECT_EQ(r.peek(Resets::kWdsel), resetbit::kAll);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0], std::make_pair(0u, resetbit::kTimer | resetbit::kPwm));
    EXPECT_EQ(heard[1], std::make_pair(resetbit::kTimer, 0u));
    // A chip reset holds everything again without telling each block.
    r.reset();
    EXPECT_EQ(r.peek(Resets::kReset), resetbit::kAll);
    EXPECT_EQ(r.peek(Resets::kWdsel), 0u);
    EXPECT_EQ(heard.size(), 2u);
}

TEST(PsmBlock, ForcingAProcessorOffAndBack) {
    Psm p;
    std::vector<std::pair<int, bool>> heard;
    p.setProcessorListener([&](int core, bool held) { heard.emplace_back(core, held); });
    EXPECT_EQ(p.peek(Psm::kDone), Psm::kAll);
    p.write(Psm::kForceOff, Psm::kProc1);
    EXPECT_EQ(p.peek(Psm::kForceOff), Psm::kProc1);
    EXPECT_EQ(p.peek(Psm::kDone), Psm::kAll & ~Psm::kProc1);
    p.write(Psm::kForceOff, Psm::kProc1); // no change, nothing heard
    p.write(Psm::kForceOff, 0);
    EXPECT_EQ(heard, (std::vector<std::pair<int, bool>>{{1, true}, {1, false}}));
}

class ClockTree : public ::testing::Test {
protected:
    sim::Simulation world;
    Xosc xosc{world};
    Pll pllSys{Xosc::kHz};
    Pll pllUsb{Xosc::kHz};
    Rosc rosc{world};
    Clocks clocks{xosc, pllSys, pllUsb, rosc};

    void advance(sim::Time t) { world.runFor(t); }
    void startXosc() {
        xosc.write(Xosc::kCtrl, 0xaa0);
        xosc.write(Xosc::kStartup, 47);
        xosc.write(Xosc::kCtrl, 0xaa0 | 0xfab000);
    }
    // What the SDK programs for 125 MHz and 48 MHz.
    void startPlls() {
        pllSys.write(Pll::kCs, 1);
        pllSys.write(Pll::kFbdivInt, 125);
        pllSys.write(Pll::kPwr, 0x2d & ~(0x01 | 0x20));
        pllSys.write(Pll::kPrim, 6u << 16 | 2u << 12);
        pllSys.write(Pll::kPwr, 0);
        pllUsb.write(Pll::kCs, 1);
        pllUsb.write(Pll::kFbdivInt, 100);
        pllUsb.write(Pll::kPwr, 0x2d & ~(0x01 | 0x20));
        pllUsb.write(Pll::kPrim, 5u << 16 | 5u << 12);
        pllUsb.write(Pll::kPwr, 0);
    }
};

TEST_F(ClockTree, CrystalIsStableAfterItsStartupDelay) {
    startXosc();
    // 47 steps of 256 crystal cycles at 12 MHz: 1002.666 us.
    const sim::Time stableAt = 47ull * 256 * 1000000000 / Xosc::kHz;
    advance(stableAt - 1);
    EXPECT_EQ(xosc.peek(Xosc::kStatus) >> 31, 0u);
    EXPECT_EQ(xosc.peek(Xosc::kStatus) & (1u << 12), 1u << 12); // enabled
    advance(1);
    EXPECT_EQ(xosc.peek(Xosc::kStatus) >> 31, 1u);
    xosc.write(Xosc::kCtrl, 0xaa0 | 0xd1e000);
    EXPECT_EQ(xosc.peek(Xosc::kStatus), 0u);
}

TEST_F(ClockTree, PllLocksWhenPoweredAndGivesItsFrequency) {
    EXPECT_EQ(pllSys.peek(Pll::kCs) >> 31, 0u);
    startPlls();
    EXPECT_EQ(pllSys.peek(Pll::kCs) >> 31, 1u);
    EXPECT_EQ(pllSys.outputHz(), 125000000u);
    EXPECT_EQ(pllUsb.outputHz(), 48000000u);
    pllSys.reset();
    EXPECT_EQ(pllSys.outputHz(), 0u);
}

TEST_F(ClockTree, SelectedFollowsTheGlitchlessMuxes) {
    struct Case {
        Clocks::Clock clock;
        std::uint32_t ctrl;
        std::uint32_t selected;
    };
    const Case cases[] = {
        {Clocks::kRef, 0, 1},     {Clocks::kRef, 2, 4},     {Clocks::kRef, 1, 2},
        {Clocks::kSys, 0, 1},     {Clocks::kSys, 1, 2},     {Clocks::kPeri, 0x800, 1},
        {Clocks::kUsb, 0x800, 1}, {Clocks::kAdc, 0x800, 1}, {Clocks::kRtc, 0x800, 1},
    };
    for (const Case& c : cases) {
        clocks.write(c.clock * Clocks::kStride, c.ctrl);
        EXPECT_EQ(clocks.peek(c.clock * Clocks::kStride + 8), c.selected)
            << "clock " << c.clock << " ctrl " << c.ctrl;
    }
}

TEST_F(ClockTree, FrequenciesAndTheCounterAsTheSdkSetsThemUp) {
    startXosc();
    advance(microseconds(1100));
    startPlls();
    clocks.write(Clocks::kRef * Clocks::kStride, 2);           // xosc
    clocks.write(Clocks::kRef * Clocks::kStride + 4, 1u << 8); // / 1
    clocks.write(Clocks::kSys * Clocks::kStride, 1);           // aux: pll_sys
    clocks.write(Clocks::kSys * Clocks::kStride + 4, 1u << 8);
    clocks.write(Clocks::kPeri * Clocks::kStride, 0x800); // clk_sys
    clocks.write(Clocks::kUsb * Clocks::kStride, 0x800);  // pll_usb
    clocks.write(Clocks::kUsb * Clocks::kStride + 4, 1u << 8);
    clocks.write(Clocks::kRtc * Clocks::kStride, 0x800); // pll_usb / 1024
    clocks.write(Clocks::kRtc * Clocks::kStride + 4, 1024u << 8);
    EXPECT_EQ(clocks.frequencyHz(Clocks::kRef), 12000000u);
    EXPECT_EQ(clocks.frequencyHz(Clocks::kSys), 125000000u);
    EXPECT_EQ(clocks.frequencyHz(Clocks::kPeri), 125000000u);
    EXPECT_EQ(clocks.frequencyHz(Clocks::kUsb), 48000000u);
    EXPECT_EQ(clocks.frequencyHz(Clocks::kRtc), 46875u);
    EXPECT_EQ(clocks.frequencyHz(Clocks::kAdc), 0u); // not enabled

    clocks.write(Clocks::kFc0MinKhz, 0);
    clocks.write(Clocks::kFc0MaxKhz, 0x1ffffff);
    clocks.write(Clocks::kFc0Src, 9);                           // clk_sys
    EXPECT_EQ(clocks.peek(Clocks::kFc0Status), (1u << 4) | 1u); // done, pass
    EXPECT_EQ(clocks.peek(Clocks::kFc0Result) >> 5, 125000u);
    clocks.write(Clocks::kFc0MinKhz, 200000);
    clocks.write(Clocks::kFc0Src, 9);
    EXPECT_EQ(clocks.peek(Clocks::kFc0Status), (1u << 4) | (1u << 16) | (1u << 20)); // slow
}

TEST(StoredBlockRegisters, ResetValuesWritableBitsAndUnknownOffsets) {
    StoredBlock b("TEST");
    b.define(0x0, 0x12, 0xff).define(0x4, 0x1, 0).defineRange(0x10, 2, 4, 7);
    b.write(0x0, 0xabcd);
    EXPECT_EQ(b.peek(0x0), 0xcdu);
    b.write(0x4, 0xffffffff);
    EXPECT_EQ(b.peek(0x4), 0x1u);
    b.write(0x14, 9);
    EXPECT_EQ(b.read(0x14), 9u);
    b.write(0x40, 5);
    EXPECT_EQ(b.peek(0x40), 0u);
    b.reset();
    EXPECT_EQ(b.peek(0x0), 0x12u);
    EXPECT_EQ(b.peek(0x14), 7u);
}

class Fabric : public ::testing::Test {
protected:
    struct NoHost : BootromHost {
        std::array<std::uint32_t, 8> scratch{};
        std::array<std::uint32_t, 8>& watchdogScratch() override { return scratch; }
        void releaseResets(std::uint32_t) override {}
        void disableAdcPadInputs() override {}
        std::uint8_t* flash() override { return nullptr; }
        void parkForLaunch(sim::arm::Core&) override {}
        void chargeCycles(sim::arm::Core&, unsigned) override {}
    } host;
    sim::Simulation world;
    sim::HostChip chip{world, "chip"};
    Bootrom rom{host};
    Sio sio{chip.gpio};
    BusFabric bus{rom, sio};
    StoredBlock block{"TEST"};

    void SetUp() override {
        block.define(0x0, 0xf0f0f0f0).define(0x8, 0);
        bus.map(0x40004000, block, "TEST");
        bus.mapAbsent(0x40038000, "UART1");
    }
};

TEST_F(Fabric, AtomicAliasesAreReadModifyWrites) {
    struct Case {
        std::uint32_t alias;
        std::uint32_t value;
        std::uint32_t result;
    };
    const Case cases[] = {
        {0x0000, 0x12345678, 0x12345678},
        {0x1000, 0x0000ffff, 0x1234a987},
        {0x2000, 0xf0000000, 0xf234a987},
        {0x3000, 0x0000000f, 0xf234a980},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(bus.store(0, 0x40004000 + c.alias, 4, c.value));
        EXPECT_EQ(block.peek(0), c.result) << std::hex << c.alias;
    }
}

// One register of every field kind: RW in bits 0..15, write-1-to-clear
// flags in 16..23, a read-only field in 24..31.
class FieldKinds : public sim::RegisterBlock {
public:
    static constexpr std::uint32_t kReadOnly = 0x5a000000;
    std::uint32_t rw = 0, flags = 0;
    unsigned reads = 0;

    std::uint32_t read(std::uint32_t offset) override {
        ++reads;
        return peek(offset);
    }
    std::uint32_t peek(std::uint32_t) const override { return kReadOnly | flags << 16 | rw; }
    void write(std::uint32_t, std::uint32_t value) override {
        rw = value & 0xffff;
        flags &= ~(value >> 16) & 0xff;
    }
    std::uint32_t writeClearBits(std::uint32_t) const override { return 0x00ff0000; }
};

TEST_F(Fabric, AliasWritesOnEachFieldKind) {
    using Atomics = BusFabric::Atomics;
    struct Case {
        Atomics atomics;
        std::uint32_t alias;
        std::uint32_t flags; // set before: bit 0, bit 1 or both
        std::uint32_t mask;
        std::uint32_t rw;       // after, from 0x1234 before
        std::uint32_t flagsNow; // after
        unsigned reads;
    };
    const Case cases[] = {
        // A plain write clears the flags written 1, whichever way the block
        // takes aliases.
        {Atomics::Native, 0x0000, 0x3, 0xff01beef, 0xbeef, 0x2, 0},
        {Atomics::Interposer, 0x0000, 0x3, 0xff01beef, 0xbeef, 0x2, 0},
        // In place: XOR clears a set flag and cannot set a clear one; set
        // leaves flags; clear clears the flags asked. Read-only bits stay.
        {Atomics::Native, 0x1000, 0x1, 0xff0300ff, 0x12cb, 0x0, 0},
        {Atomics::Native, 0x2000, 0x1, 0xff030f00, 0x1f34, 0x1, 0},
        {Atomics::Native, 0x3000, 0x3, 0xff01000f, 0x1230, 0x2, 0},
        // Behind the interposer: a read, then the plain write of what the
        // operation made of it, which clears every flag it holds as 1.
        {Atomics::Interposer, 0x1000, 0x3, 0x00020000, 0x1234, 0x2, 1},
        {Atomics::Interposer, 0x2000, 0x1, 0x00000f00, 0x1f34, 0x0, 1},
        {Atomics::Interposer, 0x3000, 0x3, 0x0001000f, 0x1230, 0x1, 1},
    };
    for (const Case& c : cases) {
        FieldKinds reg;
        bus.map(0x40008000, reg, "FIELDS", c.atomics);
        reg.rw = 0x1234;
        reg.flags = c.flags;
        const std::string what =
            std::string(c.atomics == Atomics::Native ? "in place" : "interposer") + ", alias " +
            std::to_string(c.alias >> 12);
        EXPECT_TRUE(bus.store(0, 0x40008000 + c.alias, 4, c.mask)) << what;
        EXPECT_EQ(reg.rw, c.rw) << what;
        EXPECT_EQ(reg.flags, c.flagsNow) << what;
        EXPECT_EQ(reg.reads, c.reads) << what;
        EXPECT_EQ(reg.peek(0) & 0xff000000, FieldKinds::kReadOnly) << what;
    }
}

TEST_F(Fabric, NarrowAccessesToRegisters) {
    // A byte written reaches the whole register, repeated in every lane.
    EXPECT_TRUE(bus.store(0, 0x40004008 + 1, 1, 0xa5));
    EXPECT_EQ(block.peek(8), 0xa5a5a5a5u);
    EXPECT_TRUE(bus.store(0, 0x40004008 + 2, 2, 0x1234));
    EXPECT_EQ(block.peek(8), 0x12341234u);
    block.write(0, 0x44332211);
    std::uint32_t v = 0;
    EXPECT_TRUE(bus.load(0, 0x40004002, 1, v));
    EXPECT_EQ(v, 0x33u);
    EXPECT_TRUE(bus.load(0, 0x40004002, 2, v));
    EXPECT_EQ(v, 0x4433u);
}

TEST_F(Fabric, BusErrorsSayWhy) {
    std::uint32_t v = 0;
    struct Case {
        bool store;
        std::uint32_t address;
        const char* why;
    };
    const Case cases[] = {
        {false, 0x40038000, "UART1 is not modelled"},
        {false, 0x40070000, "nothing is mapped there"},
        {true, 0x10000400, "flash is read-only"},
        {true, 0x11000400, "flash is read-only"},
        {true, 0x00000100, "boot ROM is read-only"},
        {false, 0xd0000200, "nothing answers in the SIO"},
        {true, 0xd0000080, "interpolators are not modelled"},
    };
    for (const Case& c : cases) {
        const bool ok = c.store ? bus.store(0, c.address, 4, 0) : bus.load(0, c.address, 4, v);
        EXPECT_FALSE(ok) << std::hex << c.address;
        EXPECT_NE(bus.lastError().find(c.why), std::string::npos) << bus.lastError();
        EXPECT_EQ(bus.lastErrorAddress(), c.address);
    }
}

TEST_F(Fabric, UnstripedAliasReachesTheSameSram) {
    // Consecutive words of the main window go round the four banks; in the
    // other window each bank is contiguous.
    const std::uint32_t words[] = {0x11111111, 0x22222222, 0x33333333, 0x44444444, 0x55555555};
    ASSERT_TRUE(bus.writeMemory(0x20000000, words, sizeof words));
    struct Case {
        std::uint32_t address;
        std::uint32_t value;
    };
    const Case cases[] = {
        {0x21000000, 0x11111111}, {0x21010000, 0x22222222}, {0x21020000, 0x33333333},
        {0x21030000, 0x44444444}, {0x21000004, 0x55555555},
    };
    for (const Case& c : cases) {
        std::uint32_t v = 0;
        EXPECT_TRUE(bus.load(0, c.address, 4, v));
        EXPECT_EQ(v, c.value) << std::hex << c.address;
    }
    EXPECT_TRUE(bus.store(1, 0x21030004, 2, 0xbeef));
    std::uint32_t v = 0;
    ASSERT_TRUE(bus.readMemory(0x2000001c, &v, 4));
    EXPECT_EQ(v & 0xffff, 0xbeefu);
}

TEST_F(Fabric, SioAnswersEachCoreWithItsOwnView) {
    std::uint32_t v = 7;
    EXPECT_TRUE(bus.load(0, 0xd0000000, 4, v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(bus.load(1, 0xd0000000, 4, v));
    EXPECT_EQ(v, 1u);
    // Spin lock 3: the first read claims it, the second finds it taken.
    EXPECT_TRUE(bus.load(0, 0xd000010c, 4, v));
    EXPECT_EQ(v, 1u << 3);
    EXPECT_TRUE(bus.load(1, 0xd000010c, 4, v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(bus.load(1, 0xd000005c, 4, v));
    EXPECT_EQ(v, 1u << 3);
    EXPECT_TRUE(bus.store(1, 0xd000010c, 4, 0));
    EXPECT_TRUE(bus.load(1, 0xd000005c, 4, v));
    EXPECT_EQ(v, 0u);
    // The GPIO set/clear/xor registers act on sim::Gpio's outputs.
    EXPECT_TRUE(bus.store(0, 0xd0000014, 4, 0x30));
    EXPECT_TRUE(bus.store(1, 0xd000001c, 4, 0x11));
    EXPECT_TRUE(bus.store(0, 0xd0000018, 4, 0x20));
    EXPECT_EQ(chip.gpio.out(), 0x01u);
    EXPECT_TRUE(bus.store(0, 0xd0000024, 4, 0x3));
    EXPECT_EQ(chip.gpio.outputEnable(), 0x3u);
}

} // namespace
