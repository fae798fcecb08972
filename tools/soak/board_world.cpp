#include "board_world.h"

#include "harness/scenario_runner.h"

#include <algorithm>
#include <sstream>

namespace soak {

namespace {

std::string hex(unsigned v) {
    std::ostringstream os;
    os << "0x" << std::hex << v;
    return os.str();
}

} // namespace

BoardWorld::BoardWorld(sim::Board& board, std::uint8_t address)
    : board_(board), valdor_(board.kind() == sim::BoardKind::Valdor),
      outputPins_(board.description().gpios(sim::PinUse::DigitalOut)),
      inputPins_(board.description().gpios(sim::PinUse::DigitalIn)), address_(address),
      model_(descriptorOf(valdor_ ? "valdor" : "quillet")) {
    sources_.resize(sources());
    for (auto& s : sources_)
        s.push_back({0, 0});
    closed_.assign(inputs(), false);
    settled_.assign(inputs(), kInputWindow);
    promised_.push_back({0, 0, {}});
}

void BoardWorld::setSource(Time now, unsigned source, std::uint16_t value) {
    auto& history = sources_.at(source);
    history.push_back({now, value});
    // What is older than any window is of no use.
    while (history.size() > 2 && history[1].first + kThermoWindow < now)
        history.erase(history.begin());
    if (valdor_) {
        sim::scenario::apply(board_, sim::scenario::SetAnalog{source, value, {}});
    } else {
        sim::scenario::SetThermocouple t;
        t.channel = source + 1;
        t.celsius = value / 100.0;
        sim::scenario::apply(board_, t);
    }
}

void BoardWorld::bounce(Time now, unsigned input, const std::vector<sim::Contact::Step>& steps) {
    Time end = now;
    for (const auto& s : steps)
        end += s.delay;
    closed_.at(input) = steps.back().closed;
    settled_.at(input) = end + kInputWindow;
    sim::scenario::apply(board_, sim::scenario::Bounce{inputPins_.at(input), steps, {}});
}

void BoardWorld::reset(Time now) {
    ++injectedResets_;
    model_.reset();
    bootAt_ = now;
    downUntil_ = now + kLinkDown;
    for (Time& t : settled_)
        t = std::max(t, now + kInputWindow);
    promised_.push_back({now, 0, {dac_[0], dac_[1]}});
}

std::uint16_t BoardWorld::modelOutputs() const {
    const std::uint16_t word =
        static_cast<std::uint16_t>(model_.value(0x50) | model_.value(0x51) << 8);
    return static_cast<std::uint16_t>(word & ((1u << outputPins_.size()) - 1));
}

void BoardWorld::applied(Time end) {
    const Bytes covered = model_.pendingRegisters();
    if (!covered.empty())
        settledAt_ = end + kApplyWindow;
    model_.apply();
    for (unsigned ch = 0; ch < 2 && valdor_; ++ch) {
        const std::uint8_t low = static_cast<std::uint8_t>(0x60 + 2 * ch);
        if (std::find(covered.begin(), covered.end(), low) != covered.end()) {
            const unsigned v = model_.value(low) | model_.value(low + 1) << 8;
            dac_[ch] = static_cast<std::uint16_t>(std::min(v, 4095u));
        }
    }
    const Snapshot& last = promised_.back();
    if (last.outputs != modelOutputs() || last.dac[0] != dac_[0] || last.dac[1] != dac_[1])
        promised_.push_back({end, modelOutputs(), {dac_[0], dac_[1]}});
}

std::string BoardWorld::checkOutputs(Time now) {
    if (!up(now))
        return {};
    // Every state promised by now - promise, and any newer one, may show.
    while (promised_.size() > 1 && promised_[1].at + kOutputPromise <= now)
        promised_.pop_front();
    sim::Chip& chip = board_.chip();
    std::uint16_t pins = 0;
    std::uint16_t checked = 0;
    for (unsigned ch = 0; ch < outputPins_.size(); ++ch) {
        const unsigned pin = outputPins_[ch];
        // The status LEDs take GPIO0 and GPIO1 while no host is active.
        if (chip.gpio.function(pin) != sim::gpiofn::kSio)
            continue;
        checked |= static_cast<std::uint16_t>(1u << ch);
        if (chip.gpio.level(pin))
            pins |= static_cast<std::uint16_t>(1u << ch);
    }
    bool outputsOk = false;
    bool dacOk[2] = {!valdor_, !valdor_};
    for (const Snapshot& s : promised_) {
        outputsOk |= (s.outputs & checked) == pins;
        for (unsigned ch = 0; ch < 2 && valdor_; ++ch)
            dacOk[ch] |= s.dac[ch] == board_.dac()->value(ch);
    }
    if (!outputsOk)
        return "outputs " + hex(pins) + " (pins " + hex(checked) + "), promised " +
               hex(promised_.front().outputs & checked) + " since " +
               std::to_string(promised_.front().at) + " ns";
    for (unsigned ch = 0; ch < 2; ++ch) {
        if (!dacOk[ch])
            return "converter channel " + std::to_string(ch) + " holds " +
                   (board_.dac()->value(ch) ? hex(*board_.dac()->value(ch)) : "nothing");
    }
    return {};
}

std::vector<std::uint16_t> BoardWorld::acceptable(Time now, std::uint8_t lowAddr) const {
    std::vector<std::uint16_t> values;
    int source = -1;
    Time window = 0;
    if (valdor_ && (lowAddr == 0x70 || lowAddr == 0x72)) {
        source = (lowAddr - 0x70) / 2;
        window = kAnalogWindow;
    } else if (!valdor_ && lowAddr >= 0x80 && lowAddr <= 0x8E) {
        source = (lowAddr - 0x80) / 2;
        window = kThermoWindow;
    }
    if (source < 0)
        return {0};
    const auto& history = sources_[source];
    for (std::size_t i = 0; i < history.size(); ++i) {
        const Time until = i + 1 < history.size() ? history[i + 1].first : now;
        if (until + window >= now)
            values.push_back(history[i].second);
    }
    if (now < bootAt_ + window)
        values.push_back(0);
    return values;
}

std::string BoardWorld::checkWord(Time now, std::uint8_t lowAddr, std::uint16_t value) const {
    const auto ok = acceptable(now, lowAddr);
    if (std::find(ok.begin(), ok.end(), value) != ok.end())
        return {};
    return "register " + hex(lowAddr) + " pair reads " + hex(value) + ", the world had " +
           hex(ok.empty() ? 0 : ok.back());
}

std::string BoardWorld::checkByte(Time now, std::uint8_t addr, std::uint8_t byte) const {
    if (addr == 0x12) {
        for (unsigned k = 0; k < 8; ++k) {
            const bool bit = (byte >> k) & 1u;
            if (k >= inputs()) {
                if (bit)
                    return "inputs " + hex(byte) + ": bit " + std::to_string(k) + " has no input";
                continue;
            }
            if (now >= settled_[k] && now >= bootAt_ + kInputWindow && bit != closed_[k])
                return "inputs " + hex(byte) + ": input " + std::to_string(k) + " settled " +
                       (closed_[k] ? "closed" : "open");
        }
        return {};
    }
    const std::uint8_t low = static_cast<std::uint8_t>(addr & ~1u);
    const bool high = (addr & 1u) != 0;
    for (std::uint16_t v : acceptable(now, low)) {
        if ((high ? v >> 8 : v & 0xFF) == byte)
            return {};
    }
    return "register " + hex(addr) + " reads " + hex(byte) + ", not a byte of the world's values";
}

} // namespace soak
