// How the host controller's master treats a slave that holds SCL low, one
// model per kind of controller people plug into the backplane.
//
// ideal      honours every stretch: SCL rises when the last device lets go
//            (or when the master's own low phase ends, whichever is later)
//            and the high phase counts from there (UM10204 3.1.9, clock
//            synchronisation).
// bitbang    Linux i2c-gpio (drivers/i2c/busses/i2c-gpio.c over
//            i2c-algo-bit): reads SCL back after letting it go, so it honours
//            stretching like `ideal`; but it runs in a kernel thread that
//            the scheduler can preempt anywhere, so now and then it stops for
//            50 us to 30 ms with the lines wherever they were (see
//            BitbangPauses).
// nostretch  never reads SCL back: it runs its clock and samples SDA at the
//            middle of its own high phases whatever SCL does.
// bcm2835    the Raspberry Pi's controller (BCM2835/6/7, BCM2711), as it was
//            measured in public:
//              - "Raspberry Pi I2C clock-stretching bug", Advamation,
//                2013-08-17 (www.advamation.com/knowhow/raspberrypi/
//                rpi-i2c-bug.html): the clock is only masked while the slave
//                holds SCL, the next clock pulse is not made full length, the
//                controller reads SDA while SCL is still held, and the only
//                safe stretch is one right after a read acknowledge that is
//                longer than half a clock period;
//              - R. E. Wolff, raspberrypi/linux issue 254 "I2C Broadcom bug
//                workaround" (2013): the internal clock runs on; when it is
//                time to pull SCL low again the controller looks at SCL, and
//                only if it is still low does it wait; a slave that lets go
//                just before that look gets a pulse as short as 40 ns, which
//                it may not see, and slave and master fall out of step.
//            What this model takes from them: the master's clock runs on its
//            own grid; it looks at SCL once per clock, at the end of its high
//            phase. A hold that ends before the master's rise is invisible.
//            A hold that ends inside the master's high phase leaves a pulse
//            from the release to the end of that phase, and SDA was sampled
//            at the middle of the phase whatever SCL did. A hold still on
//            when the master looks is waited out properly: the high phase
//            and the sample count from the release (hence the safe case:
//            more than half a period past the master's rise).
//
// A pulse the slave's input filter takes for a spike is a clock the slave
// never sees: it falls one bit behind the master (see HostMaster).
#pragma once

#include "engine/perturbation.h"
#include "engine/time.h"
#include "world/i2c_timing.h"

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

enum class I2cHostKind { Ideal, Bcm2835, Bitbang, NoStretch };

// "ideal", "bcm2835", "bitbang", "nostretch"; nullopt for anything else.
std::optional<I2cHostKind> hostKindNamed(const std::string& name);
const char* hostKindName(I2cHostKind kind);

// One clock of the master while a slave held SCL from before the master's
// rise at `masterRise` until `release`.
struct HeldClock {
    bool pulse = true;   // SCL went high at all in this clock
    bool waited = false; // the master waited for the release
    Time rise = 0;       // when SCL went high on the bus
    Time fall = 0;       // when the master pulled it low again
    Time sample = 0;     // when the master read SDA
};

HeldClock heldClock(I2cHostKind kind, const I2cTiming& timing, Time masterRise, Time release);

// The moments a bit-banging master stops, seeded: at each byte boundary,
// with SCL low where the acknowledge bit left it, with probability 1/`oneIn`,
// for 50 us to 30 ms (log-uniform, as short preemptions are far more common
// than long ones). A stop inside a byte shows to this slave the same way
// (the block has no timeout of its own; only the gap between bytes counts).
class BitbangPauses {
public:
    static constexpr Time kShortest = microseconds(50);
    static constexpr Time kLongest = milliseconds(30);

    explicit BitbangPauses(std::uint64_t seed, unsigned oneIn = 8) : rng_(seed), oneIn_(oneIn) {}
    // 0 for no pause.
    Time next();

private:
    SplitMix64 rng_;
    unsigned oneIn_;
};

} // namespace sim
