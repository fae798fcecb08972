#include "chip/console.h"

#include "chip/block_host.h"
#include "chip/observer.h"

namespace sim {

Console::Console(BlockHost& host) : host_(host) {}

void Console::write(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\n')
            complete();
        else
            pending_ += text[i];
    }
}

void Console::complete() {
    // A carriage return before the line feed (the SDK's stdio sends CR LF)
    // ends the line as a terminal shows it; it is no part of the text.
    if (!pending_.empty() && pending_.back() == '\r')
        pending_.pop_back();
    lines_.push_back({host_.now(), pending_});
    pending_.clear();
    const ConsoleLine& line = lines_.back();
    host_.notifyObservers([&](ChipObserver& o, Chip& c) { o.consoleLine(c, line.at, line.text); });
}

void Console::cut() {
    if (!pending_.empty())
        complete();
}

std::vector<ConsoleLine> Console::takeNew() {
    std::vector<ConsoleLine> fresh(lines_.begin() + static_cast<std::ptrdiff_t>(taken_),
                                   lines_.end());
    taken_ = lines_.size();
    return fresh;
}

} // namespace sim
