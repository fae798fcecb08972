// The measuring parts of elf_report: the clock stretch from the host
// master's steps, interrupt latency, the stack fill, the newlib heap walk,
// the image checks' stack file, the ELF symbols; and the chip's observer
// hook on a real image.
#include <gtest/gtest.h>

#include "chip_probe.h"
#include "elf_symbols.h"
#include "harness/bench.h"
#include "heap_walk.h"
#include "irq_latency.h"
#include "rp2040/rp2040.h"
#include "static_stacks.h"
#include "stretch_meter.h"
#include "task_stack.h"

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using sim::I2cPhase;
using sim::microseconds;
using Kind = sim::I2cPhase::Kind;

constexpr sim::Time kPeriod = microseconds(10);

struct StretchCase {
    const char* what;
    std::vector<I2cPhase> phases;
    std::uint64_t count;
    sim::Time max;
    sim::Time total;
};

TEST(StretchMeter, MeasuresFromTheRequestToTheByte) {
    const std::vector<StretchCase> cases = {
        {"first byte asked one period after the read address",
         {{Kind::Start, 0}, {Kind::Address, 90000, 0x4F, true}, {Kind::Read, 103000}},
         1,
         3000,
         3000},
        {"the next byte asked as the acknowledge bit ends",
         {{Kind::Address, 0, 0x4F, true},
          {Kind::Read, 10000},
          {Kind::ReadAck, 100000, 0, true},
          {Kind::Read, 107500}},
         2,
         7500,
         7500},
        {"a write address asks for nothing",
         {{Kind::Address, 0, 0x4E, true}, {Kind::Read, 50000}},
         0,
         0,
         0},
        {"a read address not acknowledged asks for nothing",
         {{Kind::Address, 0, 0x4F, false}, {Kind::Read, 50000}},
         0,
         0,
         0},
        {"a STOP after the last acknowledge bit drops the request",
         {{Kind::Address, 0, 0x4F, true},
          {Kind::Read, 12000},
          {Kind::ReadAck, 102000, 0, false},
          {Kind::Stop, 112000},
          {Kind::Read, 300000}},
         1,
         2000,
         2000},
    };
    for (const StretchCase& c : cases) {
        StretchMeter meter(kPeriod);
        for (const I2cPhase& p : c.phases)
            meter.step(p);
        EXPECT_EQ(meter.stretch().count, c.count) << c.what;
        EXPECT_EQ(meter.stretch().max, c.max) << c.what;
        EXPECT_EQ(meter.stretch().total, c.total) << c.what;
    }
}

TEST(IrqLatency, FromTheRiseToTheHandlerPerInterrupt) {
    IrqLatency l;
    l.lineChanged(0, 23, true, 1000);
    l.handlerEntered(0, 23, 1400);
    l.lineChanged(1, 23, true, 2000);
    l.handlerEntered(1, 23, 2100);
    // Entered again while the line stays high: no new rise, nothing counted.
    l.handlerEntered(1, 23, 2600);
    // A rise that falls before its handler runs.
    l.lineChanged(0, 13, true, 3000);
    l.lineChanged(0, 13, false, 3050);
    l.handlerEntered(0, 13, 3200);
    // A handler on the other core does not serve this core's line.
    l.lineChanged(0, 13, true, 4000);
    l.handlerEntered(1, 13, 4100);
    l.handlerEntered(0, 13, 4900);
    EXPECT_EQ(l.of(23).count, 2u);
    EXPECT_EQ(l.of(23).max, 400);
    EXPECT_EQ(l.of(23).total, 500);
    EXPECT_EQ(l.of(13).count, 1u);
    EXPECT_EQ(l.of(13).max, 900);
    EXPECT_EQ(l.of(0).count, 0u);
}

TEST(StackFill, DepthFromTheEntryStackPointer) {
    constexpr std::uint32_t kBase = 0x20003000;
    struct Case {
        const char* what;
        std::uint32_t untouched; // leading fill bytes
        std::uint32_t depth;
        bool exhausted;
    };
    // 64 bytes: the top word at base + 60, rounded down to 8: base + 56.
    const std::vector<Case> cases = {
        {"written down to base + 40", 40, 16, false},
        {"a word partly equal to the fill counts as written", 42, 16, false},
        {"nothing below the entry SP written", 60, 0, false},
        {"no fill left", 0, 56, true},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes(64, 0x11);
        std::memset(bytes.data(), 0xA5, c.untouched);
        const StackUse use = measureStack(kBase, bytes);
        EXPECT_EQ(use.entrySp, kBase + 56) << c.what;
        EXPECT_EQ(use.depth, c.depth) << c.what;
        EXPECT_EQ(use.exhausted, c.exhausted) << c.what;
    }
}

// A heap image: words from `base` on.
struct FakeMemory {
    std::uint32_t base;
    std::vector<std::uint32_t> words;
    MemoryReader reader() const {
        return [this](std::uint32_t a, void* out, std::uint32_t n) {
            if (a < base || (a - base) % 4 || a - base + n > words.size() * 4)
                return false;
            std::memcpy(out, &words[(a - base) / 4], n);
            return true;
        };
    }
};

TEST(HeapWalk, CountsChunksByTheNextChunksInUseBit) {
    // sbrk base 0x20002004: the first chunk moves to 0x20002008 so that its
    // user area is 8-aligned. Chunks: 16 in use, 24 free, 32 in use, top 40.
    FakeMemory m{0x20002000, std::vector<std::uint32_t>(40, 0)};
    auto size = [&](std::uint32_t chunk, std::uint32_t v) {
        m.words[(chunk + 4 - m.base) / 4] = v;
    };
    size(0x20002008, 16 | 1);
    size(0x20002018, 24 | 1); // the chunk before (16) is in use
    size(0x20002030, 32 | 0); // the chunk before (24) is free
    size(0x20002050, 40 | 1); // top; the chunk before (32) is in use
    const auto state = walkHeap(m.reader(), 0x20002004, 0x20002050);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->inUse, 48u);
    EXPECT_EQ(state->free, 24u);
    EXPECT_EQ(state->chunks, 2u);
    EXPECT_EQ(state->topSize, 40u);
    // A chain that steps over the top, and malloc never having run.
    size(0x20002030, 36 | 0);
    EXPECT_FALSE(walkHeap(m.reader(), 0x20002004, 0x20002050));
    EXPECT_FALSE(walkHeap(m.reader(), ~0u, 0x20002050));
}

TEST(StaticStacks, ReadsTheImageChecksFile) {
    std::istringstream good("valdor\tMainTask\t788\t1024\nvaldor\tTmr Svc\t380\t4096\n"
                            "brennic\tIDLE1\t92\t1024\n");
    const auto s = parseStaticStacks(good);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->at("valdor").at("Tmr Svc").worstCase, 380u);
    EXPECT_EQ(s->at("valdor").at("Tmr Svc").size, 4096u);
    EXPECT_EQ(s->at("brennic").at("IDLE1").worstCase, 92u);
    for (const char* bad : {"valdor\tMainTask\t788\n", "valdor\tMainTask\t78x\t1024\n",
                            "valdor MainTask 788 1024\n", "\tMainTask\t788\t1024\n"}) {
        std::istringstream in(bad);
        EXPECT_FALSE(parseStaticStacks(in)) << bad;
    }
}

std::string valdorElf() {
    return std::string(ELF_IMAGE_DIR) + "/valdor.elf";
}

TEST(ElfSymbols, FindsUntypedLinkerMarkersAndAgreesWithTheChip) {
    const auto symbols = readElfSymbols(valdorElf());
    sim::Bench bench;
    bench.insert(0, "valdor", valdorElf());
    auto& chip = static_cast<sim::rp2040::Rp2040&>(bench.board(0)->chip());
    ASSERT_TRUE(symbols.count("__end__"));
    // The SDK's layout: the heap ends where core 0's stack area begins.
    EXPECT_EQ(symbols.at("__StackLimit"), 0x20040000u);
    for (const char* name : {"pxCurrentTCBs", "__malloc_av_", "__malloc_sbrk_base"})
        EXPECT_EQ(symbols.at(name), chip.elf().address(name).value_or(0)) << name;
    EXPECT_TRUE(readElfSymbols("/nonexistent.elf").empty());
}

// The host model gives each image the heap its board's description says; the
// real binary leaves what its linker layout leaves. They must be the same.
TEST(ElfSymbols, EachImagesHeapIsTheOneItsDescriptionGivesTheHostModel) {
    for (const sim::BoardDescription* d : sim::imageBoards()) {
        const auto symbols = readElfSymbols(std::string(ELF_IMAGE_DIR) + "/" + d->image + ".elf");
        ASSERT_TRUE(symbols.count("__end__") && symbols.count("__StackLimit")) << d->image;
        EXPECT_EQ(symbols.at("__StackLimit") - symbols.at("__end__"), d->heapBytes) << d->image;
    }
}

// Counts what the chip reports.
class CountingObserver : public sim::rp2040::ExecutionObserver {
public:
    void beforeStep(int core, sim::Time) override { ++before[core]; }
    void afterStep(int core, sim::Time begin, sim::Time end) override {
        ++after[core];
        EXPECT_GT(end, begin);
    }
    void irqLine(int, unsigned irq, bool level, sim::Time) override {
        if (level)
            ++rises[irq];
    }
    std::uint64_t before[2] = {0, 0};
    std::uint64_t after[2] = {0, 0};
    std::map<unsigned, int> rises;
};

TEST(ChipObserver, SeesEveryExecutedStepAndTheLinesOfARealImage) {
    sim::Bench bench;
    bench.insert(0, "valdor", valdorElf());
    auto& chip = static_cast<sim::rp2040::Rp2040&>(bench.board(0)->chip());
    CountingObserver seen;
    chip.setObserver(&seen);
    bench.powerOn();
    ASSERT_TRUE(bench.run(sim::milliseconds(100))) << bench.error();
    bench.board(0)->contact(13).close();
    ASSERT_TRUE(bench.run(sim::milliseconds(5))) << bench.error();
    chip.setObserver(nullptr);
    for (int core : {0, 1}) {
        EXPECT_EQ(seen.after[core], chip.stats().instructions[core]) << core;
        EXPECT_GE(seen.before[core], seen.after[core]) << core;
    }
    EXPECT_GE(seen.rises[13], 1) << "the contact's edge";
    EXPECT_GE(seen.rises[23], 1) << "the I2C block's line after its set-up";
}

TEST(ChipProbe, FindsEveryTaskAndTheGpioHandler) {
    sim::Bench bench;
    bench.insert(0, "valdor", valdorElf());
    auto& chip = static_cast<sim::rp2040::Rp2040&>(bench.board(0)->chip());
    ChipProbe probe(chip);
    bench.powerOn();
    ASSERT_TRUE(bench.run(sim::milliseconds(100))) << bench.error();
    probe.startLoad(bench.now());
    bench.board(0)->contact(13).close();
    ASSERT_TRUE(bench.run(sim::milliseconds(20))) << bench.error();
    std::vector<std::string> names;
    for (std::uint32_t tcb : probe.tasksSeen())
        names.push_back(chip.rtos().taskName(tcb).value_or("?"));
    EXPECT_EQ(names.size(), 11u);
    for (const char* task : {"IDLE0", "IDLE1", "TWI-Task", "Tmr Svc", "MainTask"})
        EXPECT_NE(std::find(names.begin(), names.end(), task), names.end()) << task;
    EXPECT_EQ(probe.latency().of(13).count, 1u);
    // Idle most of the time, yet not only idle.
    for (int core : {0, 1}) {
        EXPECT_GT(probe.load(core, bench.now()), 0.0) << core;
        EXPECT_LT(probe.load(core, bench.now()), 0.5) << core;
    }
}

} // namespace
