#include "replay.h"

#include "harness/bench.h"

#include <algorithm>

namespace differential {

namespace {

// One outcome list per message: see Trace::outcomes.
std::vector<int> outcome(const sim::I2cTransferRecord& r) {
    std::vector<int> out;
    for (const sim::I2cMessageRecord& m : r.messages) {
        out.push_back(m.addressAcked ? 1 : 0);
        if (m.read)
            out.insert(out.end(), m.bytes.begin(), m.bytes.end());
        else
            out.insert(out.end(), m.acked.begin(), m.acked.end());
    }
    return out;
}

// The stream an observed record belongs to, and its value there. An SPI
// frame's received word is the world's answer, not the board's doing; its
// word, length, mode and duration are the board's.
std::pair<std::string, std::string> streamOf(const sim::Record& r) {
    if (r.kind == "pin" || r.kind == "function") {
        const std::size_t cut = r.text.find_first_of("= ");
        return {r.kind + " " + r.text.substr(0, cut), r.text.substr(cut + 1)};
    }
    if (r.kind == "spi") {
        std::string v = r.text;
        const std::size_t rx = v.find(" rx=");
        if (rx != std::string::npos)
            v.erase(rx, 10); // " rx=0x0000"
        return {r.kind, v};
    }
    return {r.kind, r.text};
}

} // namespace

Trace replay(const Script& script, const std::string& imagePath, Time runOn) {
    Trace t;
    sim::Bench bench;
    sim::Board& board = bench.insert(script.slot, script.image, imagePath);
    bench.powerOn();
    t.start = kScriptStart;
    t.end = kScriptStart + script.length;
    for (const Step& step : script.steps) {
        if (!bench.runUntil(std::max(bench.now(), kScriptStart + step.at)))
            break;
        t.stepAt.push_back(bench.now());
        std::vector<int> out;
        std::string transfer;
        switch (step.kind) {
        case Step::Kind::Transfer: {
            const sim::I2cTransferRecord r = bench.i2c(step.messages);
            out = outcome(r);
            transfer = sim::describe(r);
            break;
        }
        case Step::Kind::Bounce:
            board.contact(board.description().gpio(sim::PinUse::DigitalIn, step.channel))
                .bounce(step.bounce);
            break;
        case Step::Kind::Analog:
            board.analog().set(step.channel, step.value);
            break;
        case Step::Kind::Temperature:
            board.thermocouples()->setTemperature(step.channel, step.value / 100.0);
            break;
        case Step::Kind::Open:
            board.thermocouples()->setOpen(step.channel);
            break;
        }
        t.outcomes.push_back(std::move(out));
        t.transfers.push_back(std::move(transfer));
        if (bench.failed())
            break;
    }
    if (!bench.failed())
        bench.runUntil(t.end + runOn);
    t.error = bench.error();
    for (const sim::Record& r : bench.recorder().records()) {
        if (r.source != board.name())
            continue;
        auto [stream, value] = streamOf(r);
        t.streams[stream].push_back({r.at, value});
    }
    return t;
}

} // namespace differential
