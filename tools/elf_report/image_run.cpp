#include "image_run.h"

#include "chip_probe.h"
#include "elf_symbols.h"
#include "world/host_master.h"
#include "stretch_meter.h"

#include <algorithm>

namespace {

using sim::milliseconds;
using sim::Time;

constexpr unsigned kSlot = 0;
constexpr std::uint8_t kAddress = 0x27; // slot 0
constexpr int kRounds = 600;
// The SMP kernel's control block: pxStack follows pxTopOfStack, the core
// affinity mask, two list items of five words and uxPriority.
constexpr std::uint32_t kPxStackOffset = 13 * 4;

struct HeapSymbols {
    std::uint32_t sbrkBase = 0, av = 0, maxSbrked = 0;
};

std::uint32_t word(sim::rp2040::Rp2040& chip, std::uint32_t address) {
    std::uint32_t v = 0;
    chip.readMemory(address, &v, 4);
    return v;
}

class HeapWatch {
public:
    explicit HeapWatch(sim::rp2040::Rp2040& chip) : chip_(chip) {
        const auto& elf = chip.elf();
        syms_.sbrkBase = elf.address("__malloc_sbrk_base").value_or(0);
        syms_.av = elf.address("__malloc_av_").value_or(0);
        syms_.maxSbrked = elf.address("__malloc_max_sbrked_mem").value_or(0);
    }
    void sample(ImageReport& r) {
        if (!syms_.sbrkBase || !syms_.av)
            return;
        const MemoryReader read = [this](std::uint32_t a, void* out, std::uint32_t n) {
            return chip_.readMemory(a, out, n);
        };
        const auto state = walkHeap(read, word(chip_, syms_.sbrkBase), word(chip_, syms_.av + 8));
        if (!state)
            return;
        ++r.heapSamples;
        if (!r.heapPeak || state->inUse > r.heapPeak->inUse)
            r.heapPeak = state;
    }
    std::uint32_t sbrkPeak() { return syms_.maxSbrked ? word(chip_, syms_.maxSbrked) : 0; }

private:
    sim::rp2040::Rp2040& chip_;
    HeapSymbols syms_;
};

void measureTasks(sim::rp2040::Rp2040& chip, const ChipProbe& probe,
                  const std::map<std::string, StaticStack>& bounds, ImageReport& r) {
    for (std::uint32_t tcb : probe.tasksSeen()) {
        TaskReport t;
        t.tcb = tcb;
        t.name = chip.rtos().taskName(tcb).value_or("?");
        const auto b = bounds.find(t.name);
        if (b != bounds.end())
            t.bound = b->second;
        const std::uint32_t base = word(chip, tcb + kPxStackOffset);
        // Without a bound the stack's size is the malloc chunk's (usable bytes).
        t.size = t.bound ? t.bound->size : (word(chip, base - 4) & ~7u) - 4;
        if (t.size > 0 && t.size <= kSramBytes) {
            std::vector<std::uint8_t> bytes(t.size);
            t.readable = chip.readMemory(base, bytes.data(), t.size);
            if (t.readable)
                t.use = measureStack(base, bytes);
        }
        r.tasks.push_back(t);
    }
    std::sort(r.tasks.begin(), r.tasks.end(),
              [](const TaskReport& a, const TaskReport& b) { return a.name < b.name; });
}

// The heap grows from __end__ up to __StackLimit (the SDK's sbrk); the rest
// of SRAM is static: data, bss, the vector table and the cores' own stacks.
void memoryLayout(const std::string& elfPath, ImageReport& r) {
    const auto symbols = readElfSymbols(elfPath);
    const auto end = symbols.find("__end__");
    const auto limit = symbols.find("__StackLimit");
    if (end == symbols.end() || limit == symbols.end() || limit->second < end->second)
        return;
    r.heapRoom = limit->second - end->second;
    r.staticRam = kSramBytes - r.heapRoom;
}

} // namespace

ImageReport runImage(const std::string& elfPath, const std::string& image,
                     const std::map<std::string, StaticStack>& bounds) {
    ImageReport r;
    r.image = image;
    r.hostLink = sim::boardDescriptionOf(image).hostLink();
    sim::Bench bench;
    bench.insert(kSlot, image, elfPath);
    auto& chip = static_cast<sim::rp2040::Rp2040&>(bench.board(kSlot)->chip());
    ChipProbe probe(chip);
    HeapWatch heap(chip);
    StretchMeter stretch(bench.host().sclPeriod());
    bench.host().setPhaseListener([&](const sim::I2cPhase& p) { stretch.step(p); });
    const std::function<void()> sample = [&] { heap.sample(r); };

    bench.powerOn();
    Time loadFrom = 0;
    if (r.hostLink) {
        r.firstAck = probeUntilAcknowledged(bench, kAddress, milliseconds(1000));
        loadFrom = bench.now();
        probe.startLoad(loadFrom);
        r.traffic = image == "valdor" ? driveValdor(bench, kSlot, kAddress, kRounds, sample)
                                      : driveQuillet(bench, kSlot, kAddress, kRounds, sample);
    } else {
        bench.run(milliseconds(100));
        loadFrom = bench.now();
        probe.startLoad(loadFrom);
        for (int i = 0; i < 490 && !bench.failed(); ++i) {
            bench.run(milliseconds(10));
            sample();
        }
    }
    if (bench.failed())
        r.error = bench.error();
    r.simulated = bench.now();
    r.loadWindow = bench.now() - loadFrom;
    sample();
    for (int core : {0, 1})
        r.load[std::size_t(core)] = probe.load(core, bench.now());
    r.stretch = stretch.stretch();
    for (unsigned irq = 0; irq < 32; ++irq) {
        if (probe.latency().of(irq).count)
            r.latency[irq] = probe.latency().of(irq);
    }
    r.sbrkPeak = heap.sbrkPeak();
    memoryLayout(elfPath, r);
    measureTasks(chip, probe, bounds, r);
    bench.host().setPhaseListener({});
    return r;
}
