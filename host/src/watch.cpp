#include "boardhost/watch.h"

namespace boardhost {

namespace {

WatchEvent event(WatchEvent::Kind kind, unsigned channel = 0, std::uint16_t value = 0,
                 std::string error = {}) {
    return WatchEvent{kind, channel, value, std::move(error)};
}

} // namespace

std::string describe(const WatchEvent& e, const Descriptor& d) {
    switch (e.kind) {
    case WatchEvent::Kind::Inputs:
        return "in " + formatMask(e.value, d.digitalInputs);
    case WatchEvent::Kind::AnalogInput:
        return "ain " + std::to_string(e.channel) + " " + std::to_string(e.value);
    case WatchEvent::Kind::Thermocouple:
        return "thermo " + std::to_string(e.channel) + " " + describe(decodeThermo(e.value));
    case WatchEvent::Kind::Gone:
        return "gone";
    case WatchEvent::Kind::Back:
        return "back";
    case WatchEvent::Kind::Reset:
        break;
    }
    return "reset";
}

bool Watch::lost(const Error& e, std::vector<WatchEvent>& events) {
    if (e.kind != Error::Kind::Nack && e.kind != Error::Kind::Absent)
        return false;
    if (!gone_)
        events.push_back(event(WatchEvent::Kind::Gone, 0, 0, e.message));
    gone_ = true;
    return true;
}

void Watch::back(std::vector<WatchEvent>& events) {
    if (gone_)
        events.push_back(event(WatchEvent::Kind::Back));
    gone_ = false;
}

Status Watch::poll(Board& board, bool beat, std::vector<WatchEvent>& events) {
    auto failed = [&](const Error& e) -> Status {
        if (lost(e, events))
            return Done{};
        return e;
    };
    const Descriptor& d = board.descriptor();
    // While the board is gone every round starts with the heartbeat, so
    // that its return tells whether it was reset.
    if (beat || gone_) {
        auto hb = board.heartbeat();
        if (!hb)
            return failed(hb.error());
        back(events);
        if (hb->fresh && contacted_)
            events.push_back(event(WatchEvent::Kind::Reset));
        contacted_ = true;
    }
    if (d.digitalInputs > 0) {
        auto in = board.inputs();
        if (!in)
            return failed(in.error());
        back(events);
        if (in_ != *in) {
            in_ = *in;
            events.push_back(event(WatchEvent::Kind::Inputs, 0, *in));
        }
    }
    if (d.analogInputs > 0) {
        auto ain = board.analogInputs();
        if (!ain)
            return failed(ain.error());
        back(events);
        for (unsigned i = 0; i < ain->size(); ++i) {
            if (analog_[i] != (*ain)[i]) {
                analog_[i] = (*ain)[i];
                events.push_back(event(WatchEvent::Kind::AnalogInput, i, (*ain)[i]));
            }
        }
    }
    if (d.thermocouples > 0) {
        auto th = board.thermocouples();
        if (!th)
            return failed(th.error());
        back(events);
        for (unsigned i = 0; i < th->size(); ++i) {
            if (thermo_[i] != (*th)[i].raw) {
                thermo_[i] = (*th)[i].raw;
                events.push_back(event(WatchEvent::Kind::Thermocouple, i + 1, (*th)[i].raw));
            }
        }
    }
    return Done{};
}

} // namespace boardhost
