// watch: a host's loop on one board. It polls, as the input-change line is
// not part of the bus, and prints a line for every value that changed.
#include "commands.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

namespace boardctl {

namespace {

using boardhost::Board;
using boardhost::Error;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

// Well inside the board's 500 ms host-silence timer.
constexpr auto kHeartbeatPeriod = std::chrono::milliseconds(200);

class Watcher {
public:
    Watcher(Context& c, Board& board) : c_(c), board_(board), start_(Clock::now()) {
        const auto& d = board.descriptor();
        analog_.resize(d.analogInputs);
        thermo_.resize(d.thermocouples);
    }

    // Status 0 when stopped by count, time or signal; 1 when the bus failed.
    int run() {
        auto deadline = c_.cli.seconds > 0
                            ? start_ + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(c_.cli.seconds))
                            : Clock::time_point::max();
        auto interval = std::chrono::milliseconds(c_.cli.intervalMs);
        auto nextHeartbeat = Clock::now();
        for (auto next = Clock::now(); !done(); next += interval) {
            if (Clock::now() >= deadline)
                return 0;
            bool beat = Clock::now() >= nextHeartbeat || gone_;
            if (beat)
                nextHeartbeat = Clock::now() + kHeartbeatPeriod;
            if (!poll(beat))
                return stopped() ? 0 : 1;
            pause(std::min(next + interval, deadline));
            if (next + interval < Clock::now())
                next = Clock::now() - interval; // fell behind: no burst of polls
        }
        return 0;
    }

private:
    // Short steps, so that SIGINT ends a long interval soon.
    void pause(Clock::time_point until) const {
        while (!done() && Clock::now() < until)
            std::this_thread::sleep_until(
                std::min(until, Clock::now() + std::chrono::milliseconds(50)));
    }

    bool stopped() const { return c_.stop && c_.stop->load(); }

    bool done() const { return stopped() || (c_.cli.count > 0 && printed_ >= c_.cli.count); }

    // One round; false on a failure that ends the watch.
    bool poll(bool beat) {
        const auto& d = board_.descriptor();
        if (beat) {
            auto hb = board_.heartbeat();
            if (!hb)
                return lost(hb.error());
            back();
            if (hb->fresh && contacted_)
                emit("reset", {});
            contacted_ = true;
        }
        if (d.digitalInputs > 0) {
            auto in = board_.inputs();
            if (!in)
                return lost(in.error());
            back();
            if (in_ != *in) {
                in_ = *in;
                emit("in " + boardhost::formatMask(*in, d.digitalInputs), {{"value", *in}});
            }
        }
        if (d.analogInputs > 0) {
            auto ain = board_.analogInputs();
            if (!ain)
                return lost(ain.error());
            back();
            for (unsigned i = 0; i < ain->size(); ++i) {
                if (analog_[i] != (*ain)[i]) {
                    analog_[i] = (*ain)[i];
                    emit("ain " + std::to_string(i) + " " + std::to_string((*ain)[i]),
                         {{"channel", i}, {"value", (*ain)[i]}});
                }
            }
        }
        if (d.thermocouples > 0) {
            auto th = board_.thermocouples();
            if (!th)
                return lost(th.error());
            back();
            for (unsigned i = 0; i < th->size(); ++i) {
                const auto& r = (*th)[i];
                if (thermo_[i] != r.raw) {
                    thermo_[i] = r.raw;
                    json j = {{"channel", i + 1}, {"raw", r.raw}};
                    if (r.ok())
                        j["celsius"] = r.hundredths / 100.0;
                    else
                        j["fault"] = boardhost::faultCode(r.fault);
                    emit("thermo " + std::to_string(i + 1) + " " + describe(r), j);
                }
            }
        }
        return true;
    }

    // A board that stops answering may be resetting; the bus failing ends it.
    bool lost(const Error& e) {
        if (stopped())
            return false; // the signal cut the transfer short
        if (e.kind != Error::Kind::Nack && e.kind != Error::Kind::Absent) {
            c_.err << "boardctl: " << e.message << "\n";
            return false;
        }
        if (!gone_)
            emit("gone", {{"error", e.message}});
        gone_ = true;
        return true;
    }

    void back() {
        if (gone_)
            emit("back", {});
        gone_ = false;
    }

    // "0.812 in 0x4" or {"t":0.812,"event":"in","value":4}
    void emit(const std::string& text, json fields) {
        if (done())
            return;
        double t = std::chrono::duration<double>(Clock::now() - start_).count();
        if (c_.cli.json) {
            fields["t"] = static_cast<double>(static_cast<long long>(t * 1000)) / 1000;
            fields["event"] = text.substr(0, text.find(' '));
            c_.out << fields.dump() << std::endl;
        } else {
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%.3f ", t);
            c_.out << stamp << text << std::endl;
        }
        ++printed_;
    }

    Context& c_;
    Board& board_;
    Clock::time_point start_;
    long printed_ = 0;
    bool contacted_ = false;
    bool gone_ = false;
    std::optional<std::uint16_t> in_;
    std::vector<std::optional<std::uint16_t>> analog_;
    std::vector<std::optional<std::uint16_t>> thermo_;
};

} // namespace

int watchCommand(Context& c) {
    if (c.cli.args.size() != 1)
        throw UsageError("usage: boardctl watch ADDR [--count N] [--for SECONDS] [--interval MS]");
    auto board = c.board(parseAddress(c.cli.args[0]));
    if (!board)
        return fail(c, board.error());
    Watcher w(c, board.value());
    return w.run();
}

} // namespace boardctl
