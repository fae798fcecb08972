#include "script.h"

#include "register_model.h"
#include "world/board_description.h"

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <type_traits>
#include <utility>

namespace differential {

namespace {

using sim::I2cMessage;
using sim::microseconds;
using sim::milliseconds;
using sim::scenario::Transfer;
using Bytes = std::vector<std::uint8_t>;

// How long after a change of the world its register is settled on both
// backends, with room for the real binary's tick phase and code time: the
// last bounce plus the 10-tick window, an analog reading every 20 ticks, a
// thermocouple scan every 200 ticks plus eight frames.
constexpr Time kInputSettle = milliseconds(14);
constexpr Time kAnalogSettle = milliseconds(30);
constexpr Time kThermoSettle = milliseconds(215);
// Host activity is kept this far from the end of the 500-tick silence
// window, so that both backends agree whether the host was lost.
constexpr Time kSilence = milliseconds(500);
constexpr Time kSilenceMargin = milliseconds(15);
constexpr Time kRampStep = milliseconds(10);
constexpr Time kApplySpacing = milliseconds(3);
constexpr Time kByteTime = microseconds(90); // nine clocks at 100 kHz

class Generator {
public:
    Generator(const std::string& image, std::uint64_t seed)
        : valdor_(image == "valdor"), brennic_(image == "brennic"), rng_(seed),
          model_(soak::descriptorOf(image)) {
        script_.image = image;
        script_.slot = uniform(0, 7);
        address_ = static_cast<std::uint8_t>(0x27 - script_.slot);
    }

    Script run(unsigned steps) {
        if (brennic_) {
            // The test build's converter select takes the bus pins, so only
            // the world changes: thermocouples, and time for the test line.
            for (unsigned i = 0; i < steps / 3; ++i) {
                if (uniform(0, 2))
                    changeSource();
                else
                    t_ += milliseconds(uniform(300, 900));
            }
            script_.length = t_ + kThermoSettle;
            return script_;
        }
        // The host's first word stops the start-up fading; it comes between
        // two of its steps on both backends.
        write({0x0B, 0x80});
        for (unsigned i = 0; i < steps; ++i)
            step();
        script_.length = t_ + kThermoSettle;
        return script_;
    }

private:
    unsigned uniform(unsigned lo, unsigned hi) {
        return std::uniform_int_distribution<unsigned>(lo, hi)(rng_);
    }
    std::uint8_t byte() { return static_cast<std::uint8_t>(uniform(0, 255)); }

    std::uint8_t randomRegister() {
        static const std::uint8_t kUnlisted[] = {0x01, 0x10, 0x53, 0x64, 0x7F, 0x90, 0xFC};
        const auto& table = model_.table();
        const unsigned pick = uniform(0, static_cast<unsigned>(table.size()) + 6);
        return pick < table.size() ? table[pick].addr : kUnlisted[pick - table.size()];
    }

    void step() {
        const unsigned kind = uniform(0, 99);
        if (kind < 16)
            write(randomWrite(uniform(0, 14) == 0 ? (uniform(0, 1) ? 45 : 120) : 6));
        else if (kind < 26)
            write(outputs());
        else if (kind < 32)
            write(valdor_ ? analogOutputs() : randomWrite(4));
        else if (kind < 40)
            write({0x0B, static_cast<std::uint8_t>(uniform(0, 3) ? 0x80 | byte() : byte() & 0x7F)});
        else if (kind < 58)
            read(uniform(0, 5) == 0 ? std::nullopt : std::optional<std::uint8_t>(randomRegister()),
                 uniform(1, 40));
        else if (kind < 62)
            read(0xFF, uniform(1, 100));
        else if (kind < 65)
            read(0xFD, 2);
        else if (kind < 70)
            acknowledge();
        else if (kind < 73)
            absent();
        else if (kind < 84)
            bounce();
        else if (kind < 95)
            changeSource();
        else
            t_ += milliseconds(uniform(100, 700));
    }

    Bytes randomWrite(unsigned maxData) {
        Bytes w{randomRegister()};
        // A write from 0x12 or 0x13 is an input acknowledge; those come only
        // while the inputs are settled.
        while (w[0] == 0x12 || w[0] == 0x13)
            w[0] = randomRegister();
        const unsigned n = uniform(1, maxData);
        for (unsigned i = 0; i < n; ++i)
            w.push_back(byte());
        return w;
    }

    Bytes outputs() {
        switch (uniform(0, 3)) {
        case 0:
            return {0x50, byte()};
        case 1:
            return {0x51, byte()};
        case 2:
            return {0x52, byte()};
        default:
            return {0x50, byte(), byte()};
        }
    }

    Bytes analogOutputs() {
        // Values above 4095 too: the converter takes 12 bits.
        auto value = [&] { return uniform(0, 7) == 0 ? uniform(4096, 0xFFFF) : uniform(0, 4095); };
        const unsigned a = value();
        const unsigned b = value();
        Bytes w{static_cast<std::uint8_t>(uniform(0, 1) ? 0x60 : 0x62),
                static_cast<std::uint8_t>(a & 0xFF), static_cast<std::uint8_t>(a >> 8)};
        if (uniform(0, 3) == 0)
            w.push_back(static_cast<std::uint8_t>(b & 0xFF)),
                w.push_back(static_cast<std::uint8_t>(b >> 8));
        if (uniform(0, 5) == 0)
            w.resize(2); // the low byte alone
        return w;
    }

    void acknowledge() {
        t_ = std::max(t_, inputsSettled_);
        write({static_cast<std::uint8_t>(uniform(0, 3) ? 0x12 : 0x13), byte()});
    }

    void absent() {
        // Another slot's address, one outside the range, or the general call.
        std::uint8_t other = static_cast<std::uint8_t>(0x20 + uniform(0, 9));
        if (other == address_ || other == 0x28)
            other = 0x30;
        if (other == 0x29)
            other = 0x00;
        Transfer s;
        s.messages.push_back(uniform(0, 1) ? I2cMessage::readBytes(other, 2)
                                           : I2cMessage::write(other, {0x50, 0xFF}));
        transfer(std::move(s), std::nullopt);
    }

    // Time on the bus at 100 kHz, nine clocks a byte, with room for the
    // board stretching the clock.
    static Time busTime(const Transfer& s) {
        Time t = microseconds(100);
        for (const I2cMessage& m : s.messages)
            t += microseconds(120) * (1 + (m.read ? m.length : m.data.size())) + m.hangFor;
        return t;
    }

    // When a transfer counts as host activity, after its start: a byte with
    // bit 7 set written to 0x0B, or the end of a read served from 0x05. A
    // write that wraps round the table may hit 0x0B more than once: the
    // first stops the fading, the last restarts the silence window last.
    struct Activity {
        Time first;
        Time last;
    };
    std::optional<Activity> activity(const Bytes& w) const {
        const auto& table = model_.table();
        int e = -1;
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i].addr == w[0])
                e = static_cast<int>(i);
        if (w[0] == 0xFF || e < 0)
            return std::nullopt;
        std::optional<Activity> hit;
        for (std::size_t i = 1; i < w.size(); ++i, e = (e + 1) % static_cast<int>(table.size())) {
            if (table[e].addr == 0x0B && (w[i] & 0x80)) {
                const Time at = kByteTime * (i + 2);
                hit = Activity{hit ? hit->first : at, at};
            }
        }
        return hit;
    }

    // Places a transfer at the current time, or later when it would be host
    // activity near the end of the silence window, and moves time past it.
    // Once the host-lost LED fades (10-tick steps from the end of the
    // window, on each backend's own tick grid), activity that stops it comes
    // between two steps, so both backends stop it after the same step.
    void transfer(Transfer s, std::optional<Activity> moment) {
        if (moment && lastActivity_) {
            const Time lost = *lastActivity_ + kSilence;
            Time x = t_ + moment->first;
            if (x + kSilenceMargin > lost && x < lost + kSilenceMargin)
                x = lost + kSilenceMargin;
            if (x > lost) {
                const Time phase = (x - lost) % kRampStep;
                if (phase < kRampStep * 3 / 10)
                    x += kRampStep * 3 / 10 - phase;
                else if (phase > kRampStep * 7 / 10)
                    x += kRampStep - phase + kRampStep * 3 / 10;
            }
            t_ = x - moment->first;
        }
        if (moment)
            lastActivity_ = t_ + moment->last;
        const Time at = t_;
        t_ += busTime(s) + microseconds(uniform(300, 3000));
        add(at, std::move(s));
    }

    void write(Bytes w) {
        Transfer s;
        s.messages.push_back(I2cMessage::write(address_, w));
        // Now and then the master breaks the write off with a STOP: what
        // was sent is applied.
        // Rarely it stops clocking for longer than the board waits for a
        // byte and then recovers the bus: the write is dropped, or, when
        // not even the register went out, the recovery clocks' 0xFF byte
        // becomes the register (the descriptor).
        bool applied = true;
        if (script_.steps.empty()) {
            // The first word is whole: it ends the start-up fading.
        } else if (w.size() > 2 && uniform(0, 9) == 0) {
            s.messages[0].breakOff = I2cMessage::Break::Stop;
            s.messages[0].breakAfter = uniform(1, static_cast<unsigned>(w.size()) - 1);
            w.resize(s.messages[0].breakAfter);
        } else if (uniform(0, 39) == 0) {
            s.messages[0].breakOff = I2cMessage::Break::Hang;
            s.messages[0].breakAfter = uniform(0, static_cast<unsigned>(w.size()) - 1);
            s.messages[0].hangFor = milliseconds(uniform(30, 60));
            w.resize(s.messages[0].breakAfter);
            applied = w.empty();
            if (w.empty())
                w = {0xFF};
        }
        const std::optional<Activity> moment = activity(w);
        model_.write(w, applied);
        // Writes that the board task applies to pins or the converter come
        // a few ticks apart: a task of its priority may hold core 0 for up
        // to a tick, and two writes in that time would reach the pins as one
        // on one backend and as two on the other.
        const Bytes covered = model_.pendingRegisters();
        if (std::any_of(covered.begin(), covered.end(),
                        [](std::uint8_t a) { return a >= 0x50 && a <= 0x63; })) {
            t_ = std::max(t_, lastApplied_ + kApplySpacing);
            // The host-lost LED takes GPIO0 from the outputs at the end of
            // the silence window, within a tick of it on each backend; an
            // output write there would reach the pin before it on one
            // backend and after it on the other.
            if (lastActivity_) {
                const Time lost = *lastActivity_ + kSilence;
                if (t_ + busTime(s) + kApplySpacing > lost && t_ < lost + kApplySpacing)
                    t_ = lost + kApplySpacing;
            }
            lastApplied_ = t_ + busTime(s);
        }
        model_.apply();
        transfer(std::move(s), moment);
    }

    // Selects `reg` (or goes on from the cursor) and reads up to n bytes,
    // stopping short of a byte that is not settled yet.
    void read(std::optional<std::uint8_t> reg, unsigned n) {
        Transfer s;
        soak::RegisterModel probe = model_;
        if (reg) {
            s.messages.push_back(I2cMessage::write(address_, {*reg}));
            probe.write({*reg});
        }
        const auto expected = probe.read(n);
        const auto& table = model_.table();
        unsigned settled = 0;
        bool active = false;
        for (; settled < n; ++settled) {
            const int e = expected[settled].entry;
            if (e >= 0 && unsettled(table[e].addr))
                break;
            active |= e >= 0 && table[e].addr == 0x05;
        }
        if (settled == 0) {
            // Nothing settled to read: wait until all of it is.
            settled = n;
            active = false;
            for (const auto& x : expected) {
                if (x.entry >= 0) {
                    t_ = std::max(t_, settledAt(table[x.entry].addr));
                    active |= table[x.entry].addr == 0x05;
                }
            }
        }
        sim::I2cMessage m = I2cMessage::readBytes(address_, settled);
        // Now and then the master refuses a byte early (the rest reads 0xFF
        // and comes from nowhere), or breaks off with a STOP after the board
        // fetched the next byte, which it takes back.
        unsigned taken = settled;
        if (uniform(0, 7) == 0) {
            if (settled >= 2 && uniform(0, 1)) {
                m.nackAt = uniform(0, settled - 2);
                taken = static_cast<unsigned>(m.nackAt) + 1;
            } else {
                m.breakOff = I2cMessage::Break::Stop;
                m.breakAfter = uniform(0, settled - 1);
                taken = static_cast<unsigned>(m.breakAfter);
            }
            // Only bytes the host got count: a byte of 0x05 taken back is
            // not host activity.
            active = false;
            for (unsigned i = 0; i < taken; ++i)
                active |= expected[i].entry >= 0 && table[expected[i].entry].addr == 0x05;
        }
        if (reg)
            model_.write({*reg});
        model_.read(taken);
        s.messages.push_back(m);
        // A read counts at its end.
        const Time end = kByteTime * (settled + 1 + (reg ? 2 : 0)) + microseconds(20);
        transfer(std::move(s), active ? std::optional<Activity>(Activity{end, end}) : std::nullopt);
    }

    Time settledAt(std::uint8_t addr) const {
        const auto it = settles_.find(addr);
        return std::max(it == settles_.end() ? 0 : it->second, addr == 0x12 ? inputsSettled_ : 0);
    }
    bool unsettled(std::uint8_t addr) const { return settledAt(addr) > t_; }

    void bounce() {
        const unsigned input = uniform(0, valdor_ ? 3 : 5);
        sim::scenario::Bounce s{inputPin(input), {}, {}};
        const unsigned edges = uniform(1, 8);
        Time total = 0;
        for (unsigned i = 0; i < edges; ++i) {
            // Mostly fast chatter, now and then a gap around or past the window.
            const Time gap = i == 0          ? 0
                             : uniform(0, 4) ? microseconds(uniform(50, 3000))
                                             : microseconds(uniform(8000, 16000));
            total += gap;
            s.steps.push_back({gap, uniform(0, 1) == 1});
        }
        add(t_, std::move(s));
        inputsSettled_ = std::max(inputsSettled_, t_ + total + kInputSettle);
        t_ += microseconds(uniform(200, 2000));
    }

    // Steps are made in place: a step moved through a temporary makes GCC
    // see the variant's members as maybe uninitialized.
    template <class Action>
    void add(Time at, Action&& action) {
        Step& step = script_.steps.emplace_back();
        step.at = at;
        step.action.emplace<std::decay_t<Action>>(std::forward<Action>(action));
    }

    unsigned inputPin(unsigned input) const {
        return sim::boardDescriptionOf(script_.image).gpio(sim::PinUse::DigitalIn, input);
    }

    void changeSource() {
        Time at = t_;
        if (valdor_) {
            const unsigned channel = uniform(0, 1);
            const auto raw = static_cast<std::uint16_t>(uniform(0, 4095));
            add(at, sim::scenario::SetAnalog{channel, raw, {}});
            for (unsigned k = 0; k < 2; ++k)
                settles_[static_cast<std::uint8_t>(0x70 + 2 * channel + k)] = t_ + kAnalogSettle;
        } else {
            sim::scenario::SetThermocouple s;
            s.channel = uniform(1, 8);
            // brennic prints channels 1..3 every 2000 ticks from its start,
            // within a few ms of each other on both backends: a change there
            // comes after the print, or a scan before the next one.
            const Time line = milliseconds(2000);
            const Time sinceLine = (t_ + kScriptStart + kThermoSettle + milliseconds(10)) % line;
            if (brennic_ && s.channel <= 3 && sinceLine < kThermoSettle + milliseconds(25))
                at = t_ += kThermoSettle + milliseconds(25) - sinceLine;
            if (uniform(0, 5) == 0)
                s.form = sim::scenario::SetThermocouple::Form::Open;
            // Hundredths of a degree, in quarters.
            const unsigned hundredths = 25 * uniform(0, 1400);
            if (s.form == sim::scenario::SetThermocouple::Form::Celsius)
                s.celsius = hundredths / 100.0;
            for (unsigned k = 0; k < 2; ++k)
                settles_[static_cast<std::uint8_t>(0x80 + 2 * (s.channel - 1) + k)] =
                    t_ + kThermoSettle;
            add(at, std::move(s));
        }
        t_ += microseconds(uniform(200, 2000));
    }

    bool valdor_;
    bool brennic_;
    std::mt19937_64 rng_;
    soak::RegisterModel model_;
    Script script_;
    std::uint8_t address_ = 0x27;
    Time t_ = 0;
    std::optional<Time> lastActivity_;
    Time inputsSettled_ = 0;
    Time lastApplied_ = 0;
    std::map<std::uint8_t, Time> settles_;
};

} // namespace

Script generate(const std::string& image, std::uint64_t seed, unsigned steps) {
    return Generator(image, seed).run(steps);
}

} // namespace differential
