#include "pacer.h"

namespace boardsim {

namespace {

// Half a second of the wall clock: later than that, commands would wait on
// a world that cannot run as fast as asked.
constexpr double kMaxLagWallNs = 0.5e9;

} // namespace

Pacer::Pacer(double speed, sim::Time virtualStart, std::int64_t wallStart)
    : speed_(speed), virtualStart_(virtualStart), wallStart_(wallStart) {}

sim::Time Pacer::target(std::int64_t wall) const {
    if (wall <= wallStart_ || speed_ <= 0)
        return virtualStart_;
    return virtualStart_ + static_cast<sim::Time>(static_cast<double>(wall - wallStart_) * speed_);
}

sim::Time Pacer::behind(sim::Time now, std::int64_t wall) const {
    sim::Time t = target(wall);
    return t > now ? t - now : 0;
}

void Pacer::restart(sim::Time virtualNow, std::int64_t wall) {
    virtualStart_ = virtualNow;
    wallStart_ = wall;
}

sim::Time Pacer::maxLag() const {
    return static_cast<sim::Time>(kMaxLagWallNs * speed_);
}

} // namespace boardsim
