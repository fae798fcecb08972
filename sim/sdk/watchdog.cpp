// hardware_watchdog on the watchdog model.
#include "sdk/runtime.h"

#include "hardware/watchdog.h"

using namespace sim;
using namespace sim::sdk;

namespace {

// Marks a reset asked for through watchdog_enable, as against a reboot.
constexpr std::uint32_t kNonRebootMagic = 0x6ab73121;
constexpr std::uint32_t kScratch4 = Watchdog::kScratch0 + 4 * 4;

void setCtrl(Watchdog& w, std::uint32_t bits, bool on) {
    const std::uint32_t ctrl = w.read(Watchdog::kCtrl);
    w.write(Watchdog::kCtrl, on ? ctrl | bits : ctrl & ~bits);
}

void enable(HostChip& c, std::uint32_t delayMs, bool pauseOnDebug) {
    Watchdog& w = c.watchdog;
    setCtrl(w, Watchdog::kCtrlEnable, false);
    setCtrl(w, Watchdog::kCtrlPauseBits, pauseOnDebug);
    if (!delayMs) {
        setCtrl(w, Watchdog::kCtrlTrigger, true);
        return;
    }
    // The count drops by two per microsecond.
    std::uint64_t load = std::uint64_t{delayMs} * 1000u * 2u;
    if (load > Watchdog::kMaxLoad)
        load = Watchdog::kMaxLoad;
    c.sdkRuntime().watchdogLoad = static_cast<std::uint32_t>(load);
    w.write(Watchdog::kLoad, c.sdkRuntime().watchdogLoad);
    setCtrl(w, Watchdog::kCtrlEnable, true);
}

} // namespace

extern "C" {

void watchdog_enable(uint32_t delay_ms, bool pause_on_debug) {
    HostChip& c = chip();
    c.watchdog.write(kScratch4, kNonRebootMagic);
    enable(c, delay_ms, pause_on_debug);
    done(c);
}

void watchdog_update(void) {
    HostChip& c = chip();
    c.watchdog.write(Watchdog::kLoad, c.sdkRuntime().watchdogLoad);
    done(c);
}

void watchdog_reboot(uint32_t pc, uint32_t sp, uint32_t delay_ms) {
    HostChip& c = chip();
    if (pc)
        c.failWith("watchdog_reboot to an address: the simulated chip only boots main");
    (void)sp;
    setCtrl(c.watchdog, Watchdog::kCtrlEnable, false);
    c.watchdog.write(kScratch4, 0);
    enable(c, delay_ms, false);
    done(c);
}

bool watchdog_caused_reboot(void) {
    HostChip& c = chip();
    bool caused = c.watchdog.read(Watchdog::kReason) != 0;
    done(c);
    return caused;
}

bool watchdog_enable_caused_reboot(void) {
    HostChip& c = chip();
    Watchdog& w = c.watchdog;
    bool caused = w.read(Watchdog::kReason) != 0 && w.read(kScratch4) == kNonRebootMagic;
    done(c);
    return caused;
}

uint32_t watchdog_get_count(void) {
    HostChip& c = chip();
    std::uint32_t us = (c.watchdog.read(Watchdog::kCtrl) & Watchdog::kMaxLoad) / 2;
    done(c);
    return us;
}

// The tick generator feeds the watchdog and the timer their 1 us ticks; the
// model ticks at 1 us from power-on.
void watchdog_start_tick(uint cycles) {
    (void)cycles;
    done(chip());
}

} // extern "C"
