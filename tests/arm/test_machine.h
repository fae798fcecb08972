// A small machine around one or two cores for the core's tests: RAM with the
// program at 0x20000000, a read-only ROM at 0, and a test device at
// 0x40000000 where programs report (exit code, characters, a timed trace) and
// raise interrupt lines. Cores run in lockstep on virtual time.
#pragma once

#include "arm/core.h"
#include "arm/system_bus.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace armtest {

constexpr std::uint32_t kRamBase = 0x20000000u;
constexpr std::uint32_t kRamSize = 256u * 1024u;
constexpr std::uint32_t kRomBase = 0x00000000u;
constexpr std::uint32_t kRomSize = 16u * 1024u;
constexpr std::uint32_t kDevice = 0x40000000u;
constexpr std::uint32_t kDevExit = kDevice + 0x00;
constexpr std::uint32_t kDevPutc = kDevice + 0x04;
constexpr std::uint32_t kDevTrace = kDevice + 0x08;
constexpr std::uint32_t kDevIrqRaise = kDevice + 0x0C;
constexpr std::uint32_t kDevIrqLower = kDevice + 0x10;
constexpr std::uint32_t kDevTime = kDevice + 0x14;
constexpr std::uint32_t kDevCoreId = kDevice + 0x18;
constexpr std::uint32_t kDevSelect = kDevice + 0x1C;
constexpr std::uint32_t kDevSlow = kDevice + 0x20;
// A register on the core's single-cycle I/O port.
constexpr std::uint32_t kIoPort = 0xD0000000u;
// Wait states of the slow register.
constexpr unsigned kSlowWaitStates = 3;
// The native routine: UDF #0x42 here adds r1 to r0 and returns to LR.
constexpr std::uint32_t kNativeAddress = 0x00000100u;

struct TraceEntry {
    std::uint32_t value;
    std::uint64_t time; // the writing core's time at the start of its store
    int core;
};

class TestMachine : public sim::arm::SystemBus {
public:
    explicit TestMachine(int cores = 1);

    sim::arm::Core& core(int n = 0) { return *cores_.at(static_cast<std::size_t>(n)); }
    std::vector<std::uint8_t>& ram() { return ram_; }
    std::vector<std::uint8_t>& rom() { return rom_; }

    // Copies a program binary into RAM at its base; false when it is missing.
    bool loadProgram(const std::string& path);
    // Reset of every core from the vector table at the start of RAM.
    void resetAll();

    // Runs until a program exits, every core stops, or `maxCycles` pass.
    // Returns the machine's time.
    std::uint64_t run(std::uint64_t maxCycles);

    bool exited() const { return exited_; }
    std::uint32_t exitCode() const { return exitCode_; }
    const std::string& output() const { return output_; }
    const std::vector<TraceEntry>& trace() const { return trace_; }
    std::vector<std::uint32_t> traceValues() const;
    std::uint64_t time(int core = 0) const { return times_.at(static_cast<std::size_t>(core)); }
    void setSelect(std::uint32_t value) { select_ = value; }
    unsigned nativeCalls() const { return nativeCalls_; }

    std::uint32_t ramWord(std::uint32_t address) const;

    bool load(int core, std::uint32_t address, unsigned size, std::uint32_t& value) override;
    bool store(int core, std::uint32_t address, unsigned size, std::uint32_t value) override;
    unsigned waitStates(std::uint32_t address, bool store) const override;
    bool native(sim::arm::Core& core, std::uint32_t pc, std::uint8_t imm) override;

private:
    std::vector<std::unique_ptr<sim::arm::Core>> cores_;
    std::vector<std::uint64_t> times_;
    std::vector<std::uint8_t> ram_;
    std::vector<std::uint8_t> rom_;
    int current_ = 0;
    bool exited_ = false;
    std::uint32_t exitCode_ = 0;
    std::string output_;
    std::vector<TraceEntry> trace_;
    std::uint32_t select_ = 0;
    std::uint32_t slow_ = 0x5A5A5A5Au;
    std::uint32_t ioPort_ = 0;
    unsigned nativeCalls_ = 0;
};

// The path of a test program's binary in the build tree.
std::string programPath(const std::string& name);

} // namespace armtest
