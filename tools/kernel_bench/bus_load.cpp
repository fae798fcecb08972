// The host side of the benchmark: a valdor board in slot 0 and a host that
// writes and reads its registers back to back at 100 kHz, the bus never idle.
#include "bus_load.h"

#include "built_images.h"
#include "harness/bench.h"

#include <chrono>
#include <ctime>
#include <cstdio>

int runBusLoad(std::uint64_t simulatedSeconds) {
    sim::Bench bench;
    bench.insert(0, "valdor", kValdorModule);
    bench.powerOn();
    // Let the board find its slot and start its host link.
    if (!bench.run(sim::milliseconds(100)))
        return 1;

    const sim::Time end = bench.now() + sim::seconds(simulatedSeconds);
    unsigned long transfers = 0, bytes = 0, nacks = 0;
    std::uint8_t value = 0;
    auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    while (bench.now() < end && !bench.failed()) {
        // An output write, a heartbeat, and a read of both analog inputs.
        auto w = bench.writeRegisters(0x27, 0x50, {value, static_cast<std::uint8_t>(value >> 4)});
        auto h = bench.writeRegisters(0x27, 0x0B, {0x81});
        auto r =
            bench.i2c({sim::I2cMessage::write(0x27, {0x70}), sim::I2cMessage::readBytes(0x27, 4)});
        for (const auto* t : {&w, &h, &r}) {
            ++transfers;
            nacks += t->nacked() ? 1 : 0;
            for (const auto& m : t->messages)
                bytes += 1 + m.bytes.size();
        }
        // The benchmark watches speed, not the records: keep memory flat.
        if (++value == 0)
            bench.recorder().clear();
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // CPU time as well: the wall clock also counts whatever else the machine runs.
    double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (bench.failed()) {
        std::fprintf(stderr, "kernel_bench: %s\n", bench.error().c_str());
        return 1;
    }
    std::printf("bus load: simulated %llu s in %.3f s wall, %.3f s CPU: %.0f simulated seconds "
                "per wall second, %.0f per CPU second\n",
                static_cast<unsigned long long>(simulatedSeconds), wall, cpu,
                static_cast<double>(simulatedSeconds) / wall,
                static_cast<double>(simulatedSeconds) / cpu);
    std::printf("transfers %lu, bytes on the bus %lu, not acknowledged %lu\n", transfers, bytes,
                nacks);
    return nacks == 0 ? 0 : 1;
}
