#include "soak_run.h"

#include "engine/event_queue.h"
#include "world/i2c_transfer.h"

#include <algorithm>
#include <ostream>
#include <sstream>

namespace soak {

namespace {

using sim::I2cMessage;
using Break = I2cMessage::Break;

constexpr std::uint8_t kForeign[] = {0x1F, 0x30, 0x50, 0x77};

bool wordLow(std::uint8_t addr) {
    return addr == 0x70 || addr == 0x72 || (addr >= 0x80 && addr <= 0x8E && (addr & 1u) == 0);
}

std::string hex(unsigned v) {
    std::ostringstream os;
    os << "0x" << std::hex << v;
    return os.str();
}

} // namespace

SoakRun::SoakRun(const SoakOptions& options)
    : options_(options), rng_(options.seed), steps_(bench_) {
    for (unsigned slot = 0; slot < options_.boards; ++slot) {
        // Mixed: valdor in even slots, quillet in odd ones.
        const std::string image = slot % 2 == 0 ? "valdor" : "quillet";
        const std::string path = options_.elfDir.empty() ? options_.imageDir + "/" + image + ".so"
                                                         : options_.elfDir + "/" + image + ".elf";
        sim::Board& board = bench_.insert(slot, image, path);
        boards_.push_back(
            std::make_unique<BoardWorld>(board, static_cast<std::uint8_t>(0x27 - slot)));
    }
    for (auto& b : boards_) {
        for (unsigned s = 0; s < b->sources(); ++s)
            b->setSource(0, s, b->valdor() ? uniform(0, 4095) : 25 * uniform(0, 1200));
    }
    bench_.setBus(options_.busHz, options_.host, options_.seed);
    stretch_ = std::make_unique<StretchMeter>(bench_.host().sclPeriod(), &result_.stretches);
    bench_.host().setPhaseListener([this](const sim::I2cPhase& p) { stretch_->step(p); });
    bench_.powerOn();
}

BoardWorld* SoakRun::liveBoard() {
    for (int tries = 0; tries < 16; ++tries) {
        BoardWorld* b = boards_[uniform(0, static_cast<unsigned>(boards_.size()) - 1)].get();
        if (b->up(bench_.now()))
            return b;
    }
    return nullptr;
}

std::uint8_t SoakRun::randomRegister(const BoardWorld& b) {
    static const std::uint8_t kUnlisted[] = {0x01, 0x10, 0x53, 0x7F, 0x90, 0xFC};
    const auto& table = b.model().table();
    const unsigned pick = uniform(0, 49);
    if (pick < table.size())
        return table[pick].addr;
    if (pick < 44)
        return kUnlisted[pick - table.size()];
    return pick < 46 ? 0xFF : 0x50;
}

Bytes SoakRun::randomWrite(const BoardWorld& b, std::size_t minData, std::size_t maxData) {
    Bytes w{randomRegister(b)};
    const std::size_t n = uniform(static_cast<unsigned>(minData), static_cast<unsigned>(maxData));
    for (std::size_t i = 0; i < n; ++i)
        w.push_back(static_cast<std::uint8_t>(uniform(0, 255)));
    return w;
}

void SoakRun::changeWorld() {
    BoardWorld& b = *boards_[uniform(0, static_cast<unsigned>(boards_.size()) - 1)];
    const Time now = bench_.now();
    if (uniform(0, 2) == 0) {
        std::vector<sim::Contact::Step> steps;
        const unsigned n = uniform(1, 6);
        for (unsigned i = 0; i < n; ++i)
            steps.push_back(
                {sim::microseconds(i == 0 ? 0 : uniform(100, 1500)), uniform(0, 1) == 1});
        b.bounce(now, uniform(0, b.inputs() - 1), steps);
        return;
    }
    const unsigned s = uniform(0, b.sources() - 1);
    b.setSource(now, s, b.valdor() ? uniform(0, 4095) : 25 * uniform(0, 1200));
}

std::vector<SoakRun::Planned> SoakRun::plan() {
    std::vector<Planned> out;
    BoardWorld* b = liveBoard();
    if (!b)
        return out;
    const std::uint8_t a = b->address();
    const unsigned kind = uniform(0, 99);
    if (kind < 28) {
        out.push_back({b, I2cMessage::write(a, randomWrite(*b, 1, chance(20) ? 110 : 8))});
    } else if (kind < 36) {
        out.push_back({b, I2cMessage::write(a, {randomRegister(*b)})});
    } else if (kind < 50) {
        out.push_back({b, I2cMessage::readBytes(a, uniform(1, 40))});
    } else if (kind < 68) {
        out.push_back({b, I2cMessage::write(a, chance(4) ? randomWrite(*b, 1, 6)
                                                         : Bytes{randomRegister(*b)})});
        out.push_back({b, I2cMessage::readBytes(a, uniform(1, 40))});
    } else if (kind < 72) {
        out.push_back({b, I2cMessage::write(a, {0xFF})});
        out.push_back({b, I2cMessage::readBytes(a, uniform(1, 100))});
    } else if (kind < 77) {
        out.push_back(
            {b, I2cMessage::write(a, {0x0B, static_cast<std::uint8_t>(0x80 | uniform(0, 127))})});
    } else if (kind < 85) {
        BoardWorld* other = liveBoard();
        if (other && other != b) {
            out.push_back({b, I2cMessage::write(a, randomWrite(*b, 1, 4))});
            out.push_back({other, I2cMessage::write(other->address(), {randomRegister(*other)})});
            out.push_back({other, I2cMessage::readBytes(other->address(), uniform(1, 12))});
        } else {
            out.push_back({b, I2cMessage::readBytes(a, uniform(1, 8))});
        }
    } else if (kind < 90) {
        std::vector<std::uint8_t> absent(std::begin(kForeign), std::end(kForeign));
        for (unsigned slot = static_cast<unsigned>(boards_.size()); slot < 8; ++slot)
            absent.push_back(static_cast<std::uint8_t>(0x27 - slot));
        const std::uint8_t nobody = absent[uniform(0, static_cast<unsigned>(absent.size()) - 1)];
        if (uniform(0, 1))
            out.push_back({b, I2cMessage::write(a, {randomRegister(*b)})});
        if (uniform(0, 1))
            out.push_back({nullptr, I2cMessage::write(nobody, {0x50, 0xFF, 0x0F})});
        else
            out.push_back({nullptr, I2cMessage::readBytes(nobody, 2)});
        out.push_back({b, I2cMessage::readBytes(a, 2)});
    } else {
        static const std::uint8_t kPublished[] = {0x12, 0x70, 0x72, 0x80, 0x84, 0x8A, 0x8E, 0x71};
        out.push_back({b, I2cMessage::write(a, {kPublished[uniform(0, 7)]})});
        out.push_back({b, I2cMessage::readBytes(a, uniform(1, 6))});
    }
    return out;
}

void SoakRun::inject(std::vector<Planned>& messages) {
    if (messages.empty() || !chance(10))
        return;
    ++result_.faults;
    Planned& p = messages[uniform(0, static_cast<unsigned>(messages.size()) - 1)];
    if (!p.board)
        return;
    I2cMessage& m = p.message;
    if (m.read && m.length >= 2 && chance(3)) {
        m.nackAt = uniform(0, static_cast<unsigned>(m.length) - 2);
        return;
    }
    const std::size_t size = m.read ? m.length : m.data.size();
    m.breakAfter = uniform(0, static_cast<unsigned>(m.read ? size - 1 : size));
    if (chance(150)) {
        m.breakOff = Break::Hang;
        m.hangFor = sim::milliseconds(uniform(40, 60)); // past the boards' 35 ms limit
    } else {
        m.breakOff = uniform(0, 1) ? Break::Stop : Break::RepeatedStart;
    }
}

// Transfers, not bytes: one transfer with many wrong bytes counts once.
void SoakRun::tally() {
    auto had = [this](Fault kind) { return (faults_ >> static_cast<unsigned>(kind)) & 1u; };
    result_.corrupted += had(Fault::Corrupted);
    result_.refused += had(Fault::Refused);
    result_.lost += had(Fault::Lost);
    faults_ = 0;
}

void SoakRun::diverge(Fault kind, const std::string& what) {
    ++result_.divergences;
    faults_ |= 1u << static_cast<unsigned>(kind);
    if (result_.divergences <= options_.maxReports)
        *log_ << "divergence at transfer " << index_ << " (" << describe_ << "): " << what << "\n";
}

void SoakRun::checkRead(BoardWorld& b, const std::vector<RegisterModel::Expected>& expected,
                        const Bytes& seen, const std::string& what) {
    // Bytes were read after the transfer began and before any later change
    // of the world; a master that hangs ends it much later.
    const Time at = readAt_;
    const auto& table = b.model().table();
    bool applied = false;
    for (std::size_t i = 0; i < expected.size() && i < seen.size(); ++i) {
        const RegisterModel::Expected& x = expected[i];
        ++result_.bytesChecked;
        const std::uint8_t addr = x.entry >= 0 ? table[x.entry].addr : 0;
        if (x.entry >= 0 && RegisterModel::published(addr)) {
            std::string error;
            if (wordLow(addr) && i + 1 < expected.size() && i + 1 < seen.size() &&
                expected[i + 1].entry == x.entry + 1) {
                error =
                    b.checkWord(at, addr, static_cast<std::uint16_t>(seen[i] | seen[i + 1] << 8));
                ++i;
                ++result_.bytesChecked;
            } else {
                error = b.checkByte(at, addr, seen[i]);
            }
            if (!error.empty())
                diverge(Fault::Corrupted, what + ", byte " + std::to_string(i) + ": " + error);
            continue;
        }
        if (x.before != x.after && seen[i] == x.after)
            applied = true;
        const std::uint8_t want = applied ? x.after : x.before;
        if (seen[i] != want)
            diverge(Fault::Corrupted,
                    what + ", byte " + std::to_string(i) +
                        (x.entry >= 0 ? " (register " + hex(addr) + ")" : std::string()) +
                        ": read " + hex(seen[i]) + ", expected " + hex(want));
    }
    if (seen.size() != expected.size())
        diverge(Fault::Corrupted, what + ": " + std::to_string(seen.size()) + " bytes read, " +
                                      std::to_string(expected.size()) + " expected");
}

void SoakRun::check(const std::vector<Planned>& planned, const sim::I2cTransferRecord& r) {
    describe_ = sim::describe(r);
    readAt_ = r.start;
    for (auto& b : boards_)
        b->settle(r.start);
    if (r.stuck)
        diverge(Fault::Refused, "the bus got stuck");
    for (std::size_t i = 0; i < r.messages.size() && i < planned.size(); ++i) {
        const Planned& p = planned[i];
        const sim::I2cMessageRecord& m = r.messages[i];
        const std::string what = "message " + std::to_string(i);
        if (m.addressAcked != (p.board != nullptr)) {
            diverge(Fault::Refused, what + (m.addressAcked ? ": acknowledged by nobody we know"
                                                           : ": not acknowledged"));
            break;
        }
        if (!p.board)
            break;
        RegisterModel& model = p.board->model();
        const I2cMessage& msg = p.message;
        if (!msg.read) {
            const Bytes& sent = m.bytes;
            if (std::count(m.acked.begin(), m.acked.end(), false) != 0)
                diverge(Fault::Refused, what + ": a data byte was not acknowledged");
            // A hang cuts the write: what was sent before it is applied, the
            // recovery's ones only when they are the first byte.
            model.write(msg.breakOff == Break::Hang && sent.empty() ? Bytes{0xFF} : sent);
        } else if (msg.nackAt != I2cMessage::kNoNack) {
            const std::size_t k = msg.nackAt + 1;
            checkRead(*p.board, model.read(k),
                      Bytes(m.bytes.begin(), m.bytes.begin() + std::min(k, m.bytes.size())), what);
            for (std::size_t j = k; j < m.bytes.size(); ++j) {
                if (m.bytes[j] != 0xFF)
                    diverge(Fault::Corrupted, what + ": byte " + std::to_string(j) +
                                                  " after the NACK reads " + hex(m.bytes[j]));
            }
        } else {
            checkRead(*p.board, model.read(m.bytes.size()), m.bytes, what);
            if (msg.breakOff == Break::Hang)
                checkRead(*p.board, model.read(1), {r.recoveryByte}, what + " recovery clocks");
        }
        if (msg.breakOff == Break::Stop || msg.breakOff == Break::Hang)
            break;
    }
    for (const Planned& p : planned) {
        if (p.board)
            p.board->applied(r.end);
    }
}

SoakResult SoakRun::run(std::ostream& log) {
    log_ = &log;
    if (!bench_.runUntil(sim::milliseconds(5))) {
        result_.error = bench_.error();
        return result_;
    }
    sim::CallbackEvent resetEvent;
    for (index_ = 0; index_ < options_.transfers; ++index_) {
        describe_ = "before it";
        for (auto& b : boards_) {
            const std::string error = b->checkOutputs(bench_.now());
            if (!error.empty())
                diverge(Fault::Lost, "board " + hex(b->address()) + ": " + error);
        }
        if (chance(20))
            changeWorld();
        std::vector<Planned> planned = plan();
        inject(planned);
        // Now and then a board resets in the middle of a transfer to others.
        // Every transfer lasts longer than its START and address byte (90 us
        // at 100 kHz, 22.5 us at 400 kHz), so a reset that soon falls inside it.
        if (chance(1000) && !resetEvent.scheduled()) {
            BoardWorld* victim = liveBoard();
            const bool involved = std::any_of(planned.begin(), planned.end(),
                                              [&](const Planned& p) { return p.board == victim; });
            if (victim && !involved) {
                const bool power = uniform(0, 1);
                resetEvent.set([this, victim, power] {
                    if (power)
                        sim::scenario::apply(victim->board(), sim::scenario::PowerCycle{});
                    else
                        sim::scenario::apply(victim->board(), sim::scenario::WatchdogTrigger{});
                    victim->reset(bench_.now());
                });
                const std::uint64_t ns =
                    std::uint64_t{uniform(20, 90)} * 100'000'000 / options_.busHz;
                bench_.simulation().schedule(resetEvent, bench_.now() + sim::nanoseconds(ns));
            }
        }
        sim::scenario::Transfer transfer;
        for (const Planned& p : planned)
            transfer.messages.push_back(p.message);
        const sim::I2cTransferRecord r = *steps_.apply(transfer);
        if (bench_.failed()) {
            result_.error = bench_.error();
            break;
        }
        check(planned, r);
        ++result_.transfers;
        tally();
        if (chance(8) && !bench_.run(sim::microseconds(uniform(1, 200)))) {
            result_.error = bench_.error();
            break;
        }
    }
    bench_.simulation().events().cancel(resetEvent);
    for (auto& b : boards_) {
        result_.injectedResets += b->injectedResets();
        result_.unexpectedResets += b->board().chip().resets() - b->injectedResets();
    }
    result_.simulated = bench_.now();
    return result_;
}

} // namespace soak
