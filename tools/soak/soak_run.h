// The soak run: boards of both kinds on one bus, random host traffic of every
// kind with bus faults mixed in, a changing world, and every byte read and
// every write's effect checked against the models.
#pragma once

#include "board_world.h"

#include "harness/bench.h"
#include "harness/scenario_runner.h"
#include "stretch_meter.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace soak {

struct SoakOptions {
    std::uint64_t seed = 1;
    std::uint64_t transfers = 10000;
    unsigned boards = 8;
    std::string imageDir;
    std::string elfDir; // the real binaries (valdor.elf, quillet.elf) instead, when set
    std::uint32_t busHz = 100000;
    sim::I2cHostKind host = sim::I2cHostKind::Ideal;
    unsigned maxReports = 10; // divergences printed in full
};

struct SoakResult {
    std::uint64_t transfers = 0;
    std::uint64_t bytesChecked = 0;
    std::uint64_t faults = 0;
    std::uint64_t divergences = 0;
    // The transfers with divergences, by kind: a byte read that is not the register's value
    // (a write lost shows here too when it is read back), a transfer the bus
    // refused (a NACK where a board should answer, a stuck bus), an output
    // that never followed a write.
    std::uint64_t corrupted = 0;
    std::uint64_t refused = 0;
    std::uint64_t lost = 0;
    // The stretch the host saw before each byte it read, past its own tLOW.
    std::vector<Time> stretches;
    std::uint64_t injectedResets = 0;
    std::uint64_t unexpectedResets = 0;
    Time simulated = 0;
    std::string error; // the simulation stopped
};

class SoakRun {
public:
    explicit SoakRun(const SoakOptions& options);
    SoakResult run(std::ostream& log);

private:
    struct Planned {
        BoardWorld* board = nullptr; // null: nobody at the address
        sim::I2cMessage message;
    };

    void changeWorld();
    std::vector<Planned> plan();
    void inject(std::vector<Planned>& messages);
    void check(const std::vector<Planned>& planned, const sim::I2cTransferRecord& r);
    void checkRead(BoardWorld& b, const std::vector<RegisterModel::Expected>& expected,
                   const Bytes& seen, const std::string& what);
    enum class Fault { Corrupted, Refused, Lost };
    void diverge(Fault kind, const std::string& what);
    void tally();

    unsigned uniform(unsigned lo, unsigned hi) {
        return std::uniform_int_distribution<unsigned>(lo, hi)(rng_);
    }
    bool chance(unsigned oneIn) { return uniform(1, oneIn) == 1; }
    BoardWorld* liveBoard();
    std::uint8_t randomRegister(const BoardWorld& b);
    Bytes randomWrite(const BoardWorld& b, std::size_t minData, std::size_t maxData);

    SoakOptions options_;
    std::mt19937_64 rng_;
    sim::Bench bench_;
    sim::scenario::Runner steps_;
    std::vector<std::unique_ptr<BoardWorld>> boards_;
    SoakResult result_;
    unsigned faults_ = 0; // the kinds of divergence in the transfer under way
    std::unique_ptr<StretchMeter> stretch_;
    std::ostream* log_ = nullptr;
    std::uint64_t index_ = 0;
    std::string describe_;
    Time readAt_ = 0; // the start of the transfer being checked
};

} // namespace soak
