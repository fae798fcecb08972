#include "world/i2c_host_model.h"

#include <cmath>

namespace sim {

std::optional<I2cHostKind> hostKindNamed(const std::string& name) {
    if (name == "ideal")
        return I2cHostKind::Ideal;
    if (name == "bcm2835")
        return I2cHostKind::Bcm2835;
    if (name == "bitbang")
        return I2cHostKind::Bitbang;
    if (name == "nostretch")
        return I2cHostKind::NoStretch;
    return std::nullopt;
}

const char* hostKindName(I2cHostKind kind) {
    switch (kind) {
    case I2cHostKind::Ideal:
        return "ideal";
    case I2cHostKind::Bcm2835:
        return "bcm2835";
    case I2cHostKind::Bitbang:
        return "bitbang";
    case I2cHostKind::NoStretch:
        return "nostretch";
    }
    return "?";
}

HeldClock heldClock(I2cHostKind kind, const I2cTiming& t, Time masterRise, Time release) {
    const Time masterFall = masterRise + t.high;
    HeldClock c;
    if (release <= masterRise) {
        c.rise = masterRise;
        c.fall = masterFall;
        c.sample = masterRise + t.high / 2;
        return c;
    }
    const bool waits = kind == I2cHostKind::Ideal || kind == I2cHostKind::Bitbang ||
                       (kind == I2cHostKind::Bcm2835 && release >= masterFall);
    if (waits) {
        c.waited = true;
        c.rise = release;
        c.fall = release + t.high;
        c.sample = release + t.high / 2;
        return c;
    }
    // The master's own grid: a pulse from the release to the end of its high
    // phase, or none at all.
    c.pulse = release < masterFall;
    c.rise = c.pulse ? release : masterFall;
    c.fall = masterFall;
    c.sample = masterRise + t.high / 2;
    return c;
}

Time BitbangPauses::next() {
    if (oneIn_ == 0 || rng_.below(oneIn_) != 0)
        return 0;
    const double u = static_cast<double>(rng_.next() >> 11) / 9007199254740992.0; // [0, 1)
    const double lo = std::log(static_cast<double>(kShortest));
    const double hi = std::log(static_cast<double>(kLongest));
    return static_cast<Time>(std::exp(lo + u * (hi - lo)));
}

} // namespace sim
