#include "world/i2c_timing.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace sim {

I2cLimits I2cLimits::forRate(std::uint32_t hz) {
    if (hz == 0 || hz > 400000)
        throw std::invalid_argument("bus rate " + std::to_string(hz) +
                                    " Hz is not 1..400000 (standard or fast mode)");
    if (hz <= 100000)
        return {nanoseconds(4700), nanoseconds(4000), nanoseconds(4000), nanoseconds(4700),
                nanoseconds(4000), nanoseconds(4700), nanoseconds(250),  nanoseconds(3450)};
    return {nanoseconds(1300), nanoseconds(600),  nanoseconds(600), nanoseconds(600),
            nanoseconds(600),  nanoseconds(1300), nanoseconds(100), nanoseconds(900)};
}

I2cTiming I2cTiming::forRate(std::uint32_t hz) {
    const I2cLimits min = I2cLimits::forRate(hz);
    const Time period = seconds(1) / hz;
    I2cTiming t;
    t.hz = hz;
    t.low = std::max(min.low, period / 2);
    t.high = period - t.low;
    t.hdSta = t.suSta = t.suSto = std::max(t.high, std::max(min.suSta, min.hdSta));
    t.busFree = std::max(min.busFree, period / 2);
    t.hdDat = t.low / 2;
    t.suDat = t.low - t.hdDat;
    return t;
}

} // namespace sim
