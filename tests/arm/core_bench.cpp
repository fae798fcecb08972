// Speed of the core on a tight loop (loop.S: add, load, store, subtract,
// branch): million instructions per second of host time, and how fast that
// is against a 125 MHz chip. Not a test; run it from a Release build.
#include "test_machine.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const std::uint32_t passes =
        argc > 1 ? static_cast<std::uint32_t>(std::atol(argv[1])) : 20'000'000u;
    armtest::TestMachine m;
    if (!m.loadProgram(armtest::programPath("loop"))) {
        std::fprintf(stderr, "no loop program\n");
        return 1;
    }
    m.setSelect(passes);
    m.resetAll();
    auto& core = m.core();
    // Process CPU time: the figure holds on a machine shared with other jobs.
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t cycles = 0;
    while (!m.exited()) {
        const unsigned c = core.step();
        if (c == 0) {
            std::fprintf(stderr, "stopped: %s\n", core.stopInfo().reason.c_str());
            return 1;
        }
        cycles += c;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double seconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double mips = static_cast<double>(core.instructions()) / seconds / 1e6;
    std::printf("%llu instructions, %llu cycles in %.3f s of CPU (%.3f s wall): %.1f MIPS, "
                "%.2fx a 125 MHz core\n",
                static_cast<unsigned long long>(core.instructions()),
                static_cast<unsigned long long>(cycles), seconds, wall, mips,
                static_cast<double>(cycles) / seconds / 125e6);
    return 0;
}
