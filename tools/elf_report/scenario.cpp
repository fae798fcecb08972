#include "scenario.h"

#include "harness/scenario_runner.h"

#include <vector>

namespace {

using sim::I2cMessage;
using sim::microseconds;
using namespace sim::scenario;
using Bytes = std::vector<std::uint8_t>;

class Host {
public:
    Host(sim::Bench& bench, std::uint8_t address, const std::function<void()>& afterTransfer)
        : bench_(bench), steps_(bench), address_(address), after_(afterTransfer) {}

    void write(std::uint8_t reg, Bytes data) {
        data.insert(data.begin(), reg);
        transfer({I2cMessage::write(address_, data)});
    }
    void read(std::uint8_t reg, std::size_t n) {
        transfer({I2cMessage::write(address_, {reg}), I2cMessage::readBytes(address_, n)});
    }
    // Reads on from where the last read stopped.
    void readOn(std::size_t n) { transfer({I2cMessage::readBytes(address_, n)}); }
    const HostTraffic& counts() const { return counts_; }
    bool failed() const { return bench_.failed(); }

private:
    void transfer(std::vector<I2cMessage> messages) {
        const sim::I2cTransferRecord r = *steps_.apply(Transfer{std::move(messages)});
        ++counts_.transfers;
        counts_.nacks += r.nacked() || r.stuck ? 1 : 0;
        for (const auto& m : r.messages)
            counts_.readBytes += m.read ? m.bytes.size() : 0;
        if (after_)
            after_();
    }

    sim::Bench& bench_;
    Runner steps_;
    std::uint8_t address_;
    const std::function<void()>& after_;
    HostTraffic counts_;
};

// A contact that closes or opens with three bounces, 50 to 400 us apart.
void bounce(sim::Board& board, unsigned pin, bool close) {
    apply(board, Bounce{pin,
                        {{microseconds(0), close},
                         {microseconds(120), !close},
                         {microseconds(50), close},
                         {microseconds(400), !close},
                         {microseconds(80), close}},
                        {}});
}

// The descriptor: its length, then the whole of it in two reads.
void readDescriptor(Host& host) {
    host.read(0xfd, 2);
    host.read(0xff, 40);
    host.readOn(48);
}

} // namespace

std::optional<sim::Time> probeUntilAcknowledged(sim::Bench& bench, std::uint8_t address,
                                                sim::Time limit) {
    Runner steps(bench);
    while (bench.now() < limit && !bench.failed()) {
        const sim::I2cTransferRecord r = *steps.apply(Transfer{{I2cMessage::write(address, {})}});
        if (!r.messages.empty() && r.messages[0].addressAcked)
            return r.start;
    }
    return std::nullopt;
}

HostTraffic driveValdor(sim::Bench& bench, unsigned slot, std::uint8_t address, int rounds,
                        const std::function<void()>& afterTransfer) {
    sim::Board& board = *bench.board(slot);
    const std::vector<unsigned> inputs = board.description().gpios(sim::PinUse::DigitalIn);
    Host host(bench, address, afterTransfer);
    for (int i = 0; i < rounds && !host.failed(); ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        host.write(0x50, {v, static_cast<std::uint8_t>(v >> 4)});   // outputs
        host.write(0x0B, {0x81});                                   // heartbeat
        host.read(0x70, 4);                                         // analog inputs
        host.read(0x12, 2);                                         // digital inputs
        host.write(0x60, {v, static_cast<std::uint8_t>(v & 0x0f)}); // analog output
        if (i % 8 == 0)
            readDescriptor(host);
        if (i % 5 == 0)
            bounce(board, inputs.at(unsigned(i / 5) % inputs.size()), (i / 20) % 2 == 0);
        if (i % 4 == 0)
            apply(board,
                  SetAnalog{unsigned(i / 4) % 2, static_cast<std::uint16_t>((i * 97) & 0xfff), {}});
    }
    return host.counts();
}

HostTraffic driveQuillet(sim::Bench& bench, unsigned slot, std::uint8_t address, int rounds,
                         const std::function<void()>& afterTransfer) {
    sim::Board& board = *bench.board(slot);
    const std::vector<unsigned> inputs = board.description().gpios(sim::PinUse::DigitalIn);
    Host host(bench, address, afterTransfer);
    for (int i = 0; i < rounds && !host.failed(); ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        host.write(0x50, {v, static_cast<std::uint8_t>(v & 1)}); // outputs
        host.write(0x0B, {0x81});                                // heartbeat
        host.read(0x12, 1);                                      // digital inputs
        host.read(0x80, 16);                                     // thermocouples
        if (i % 8 == 0)
            readDescriptor(host);
        if (i % 5 == 0)
            bounce(board, inputs.at(unsigned(i / 5) % inputs.size()), (i / 30) % 2 == 0);
        if (i % 4 == 0 && board.thermocouples()) {
            SetThermocouple t;
            t.channel = 1 + unsigned(i / 4) % 8;
            t.celsius = 20.0 + 0.25 * i;
            apply(board, t);
        }
    }
    return host.counts();
}
