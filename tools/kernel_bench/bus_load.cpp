#include "bus_load.h"

#include <chrono>
#include <ctime>
#include <cstdio>

BusLoadCounts driveBusLoad(sim::Bench& bench, std::uint8_t address, sim::Time end) {
    BusLoadCounts counts;
    std::uint8_t value = 0;
    while (bench.now() < end && !bench.failed()) {
        // An output write, a heartbeat, and a read of both analog inputs.
        auto w =
            bench.writeRegisters(address, 0x50, {value, static_cast<std::uint8_t>(value >> 4)});
        auto h = bench.writeRegisters(address, 0x0B, {0x81});
        auto r = bench.i2c(
            {sim::I2cMessage::write(address, {0x70}), sim::I2cMessage::readBytes(address, 4)});
        for (const auto* t : {&w, &h, &r}) {
            ++counts.transfers;
            counts.nacks += t->nacked() ? 1 : 0;
            for (const auto& m : t->messages)
                counts.bytes += 1 + m.bytes.size();
        }
        // The benchmark watches speed, not the records: keep memory flat.
        if (++value == 0)
            bench.recorder().clear();
    }
    return counts;
}

int runBusLoad(const std::string& path, std::uint64_t simulatedSeconds) {
    sim::Bench bench;
    bench.insert(0, "valdor", path);
    bench.powerOn();
    // Let the board find its slot and start its host link.
    if (!bench.run(sim::milliseconds(100)))
        return 1;

    auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    BusLoadCounts c = driveBusLoad(bench, 0x27, bench.now() + sim::seconds(simulatedSeconds));
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
    std::printf("transfers %lu, bytes on the bus %lu, not acknowledged %lu\n", c.transfers,
                c.bytes, c.nacks);
    return c.nacks == 0 ? 0 : 1;
}
