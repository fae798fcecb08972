// Keeps virtual time up with the wall clock, times a speed, for a host that
// talks to the simulated boards in real time. Commands that advance virtual
// time themselves (run, i2c) may put the world ahead of the wall clock; it
// then waits until the clock has caught up.
#pragma once

#include "engine/time.h"

#include <cstdint>

namespace boardsim {

class Pacer {
public:
    // Wall times in nanoseconds of a steady clock. Speed 0: virtual time
    // moves only by commands.
    Pacer(double speed, sim::Time virtualStart, std::int64_t wallStart);

    // Where virtual time should be at `wall`.
    sim::Time target(std::int64_t wall) const;

    // How far virtual time `now` lags behind the target at `wall`; 0 when
    // it is ahead.
    sim::Time behind(sim::Time now, std::int64_t wall) const;

    // The world fell behind and drops what it owes: it goes on at the
    // speed from `virtualNow` at `wall`.
    void restart(sim::Time virtualNow, std::int64_t wall);

    // The most the world may lag behind its target before it restarts.
    sim::Time maxLag() const;

    double speed() const { return speed_; }

private:
    double speed_;
    sim::Time virtualStart_;
    std::int64_t wallStart_;
};

} // namespace boardsim
