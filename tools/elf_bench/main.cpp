// How fast the instruction-level chip runs a real binary: a valdor .elf in
// slot 0, first idle (its own tasks only), then under continuous host
// traffic at 100 kHz. Prints simulated seconds per wall-clock second and the
// instructions the two cores executed per wall-clock second.
//
//   elf_bench VALDOR_ELF [SECONDS]     (default 10 simulated seconds each)
#include "../kernel_bench/bus_load.h"

#include "harness/bench.h"
#include "rp2040/rp2040.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

namespace {

struct Measure {
    double wall = 0;
    double cpu = 0;
    std::uint64_t instructions = 0;
};

std::uint64_t executed(sim::rp2040::Rp2040& chip) {
    return chip.stats().instructions[0] + chip.stats().instructions[1];
}

Measure measure(sim::rp2040::Rp2040& chip, const std::function<void()>& run) {
    const std::uint64_t before = executed(chip);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    run();
    Measure m;
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // CPU time as well: the wall clock also counts whatever else the machine runs.
    m.cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    m.instructions = executed(chip) - before;
    return m;
}

void print(const char* what, double seconds, const Measure& m) {
    std::printf("%s: simulated %.0f s in %.3f s wall, %.3f s CPU: %.2f simulated seconds per wall "
                "second, %.1f million instructions per wall second\n",
                what, seconds, m.wall, m.cpu, seconds / m.wall,
                static_cast<double>(m.instructions) / m.wall / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: elf_bench VALDOR_ELF [SECONDS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const double seconds = argc > 2 ? std::strtod(argv[2], nullptr) : 10.0;
    const sim::Time span = static_cast<sim::Time>(seconds * 1e9);

    sim::Bench bench;
    try {
        bench.insert(0, "valdor", path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "elf_bench: %s\n", e.what());
        return 2;
    }
    auto& chip = static_cast<sim::rp2040::Rp2040&>(bench.board(0)->chip());
    bench.powerOn();
    // Start-up and the slot reading, not measured.
    if (!bench.run(sim::milliseconds(100))) {
        std::fprintf(stderr, "elf_bench: %s\n", bench.error().c_str());
        return 1;
    }

    const Measure idle = measure(chip, [&] { bench.run(span); });
    BusLoadCounts counts;
    const Measure busy = measure(chip, [&] {
        bench.recorder().clear();
        counts = driveBusLoad(bench, 0x27, bench.now() + span);
    });
    if (bench.failed()) {
        std::fprintf(stderr, "elf_bench: %s\n", bench.error().c_str());
        return 1;
    }
    print("idle", seconds, idle);
    print("host traffic", seconds, busy);
    std::printf("transfers %lu, bytes on the bus %lu, not acknowledged %lu; idle skips %llu\n",
                counts.transfers, counts.bytes, counts.nacks,
                static_cast<unsigned long long>(chip.stats().idleSkips));
    return counts.nacks == 0 ? 0 : 1;
}
