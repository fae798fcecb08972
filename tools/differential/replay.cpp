#include "replay.h"

#include "harness/bench.h"
#include "harness/scenario_runner.h"

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

// The stream a record of the board's belongs to: one per pin for levels
// and for functions, one per kind for the rest.
std::string streamOf(const sim::Record& r) {
    if (const auto* p = r.as<sim::PinLevel>())
        return "pin GPIO" + std::to_string(p->pin);
    if (const auto* f = r.as<sim::PinFunction>())
        return "function GPIO" + std::to_string(f->pin);
    return r.kind();
}

} // namespace

Trace replay(const Script& script, const std::string& imagePath, Time runOn) {
    Trace t;
    sim::Bench bench;
    sim::Board& board = bench.insert(script.slot, script.image, imagePath);
    sim::scenario::Runner steps(bench, script.slot);
    bench.powerOn();
    t.start = kScriptStart;
    t.end = kScriptStart + script.length;
    for (const Step& step : script.steps) {
        if (!bench.runUntil(std::max(bench.now(), kScriptStart + step.at)))
            break;
        t.stepAt.push_back(bench.now());
        std::vector<int> out;
        std::string transfer;
        if (const auto r = steps.apply(step.action)) {
            out = outcome(*r);
            transfer = sim::describe(*r);
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
        t.streams[streamOf(r)].push_back(r);
    }
    return t;
}

} // namespace differential
