// Speed of the instruction-level chip with both cores executing: the
// compute program (programs/compute.c) on a chip in a world of its own, for
// SECONDS of simulated time (1 by default). Prints million instructions per
// second of process CPU time, both cores together, and how that compares
// with the chip's own two cores at 125 MHz. Not a test; run it from a
// Release build.
//
//   rp2040_chip_bench [SECONDS]
#include "rp2040/rp2040.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    try {
        sim::Simulation sim;
        sim::rp2040::Rp2040 chip(sim, "chip", std::string(RP2040_PROGRAMS) + "/compute.elf");
        chip.powerOn();
        const std::clock_t cpuStart = std::clock();
        const auto start = std::chrono::steady_clock::now();
        if (!sim.runFor(sim::Time(seconds * 1e9))) {
            std::fprintf(stderr, "stopped: %s\n", sim.error().c_str());
            return 1;
        }
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        const auto& stats = chip.stats();
        const double executed = static_cast<double>(stats.instructions[0] + stats.instructions[1]);
        std::printf("simulated %.3f s in %.3f s of CPU (%.3f s wall): core 0 %llu, core 1 %llu "
                    "instructions, %.1f MIPS, %.3fx the chip's speed\n",
                    seconds, cpu, wall, static_cast<unsigned long long>(stats.instructions[0]),
                    static_cast<unsigned long long>(stats.instructions[1]), executed / cpu / 1e6,
                    seconds / cpu);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
