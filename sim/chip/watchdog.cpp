#include "chip/watchdog.h"

#include "chip/block_host.h"

namespace sim {

namespace {

constexpr RegisterInfo kRegisters[] = {
    // The count, the pause bits and ENABLE; a TRIGGER resets the chip.
    action(Watchdog::kCtrl, Watchdog::kCtrlPauseBits,
           Watchdog::kCtrlPauseBits | Watchdog::kCtrlEnable | Watchdog::kCtrlTrigger),
    action(Watchdog::kLoad, 0, Watchdog::kMaxLoad),
    status(Watchdog::kReason, 0),
    stored(Watchdog::kScratch0, 0, 0xFFFFFFFF),
    stored(Watchdog::kScratch0 + 4, 0, 0xFFFFFFFF),
    stored(Watchdog::kScratch0 + 8, 0, 0xFFFFFFFF),
    stored(Watchdog::kScratch0 + 12, 0, 0xFFFFFFFF),
    stored(Watchdog::kScratch0 + 16, 0, 0xFFFFFFFF),
    stored(Watchdog::kScratch0 + 20, 0, 0xFFFFFFFF),
    stored(Watchdog::kScratch0 + 24, 0, 0xFFFFFFFF),
    stored(Watchdog::kScratch0 + 28, 0, 0xFFFFFFFF),
    // ENABLE and the cycle count; RUNNING follows ENABLE.
    status(Watchdog::kTick, Watchdog::kTickEnable | Watchdog::kTickRunning,
           Watchdog::kTickEnable | 0x1FF),
};
constexpr RegisterMap kMap{kRegisters};

} // namespace

const RegisterMap& Watchdog::registers() {
    return kMap;
}

Watchdog::Watchdog(BlockHost& host) : host_(host) {
    expiry_.set([this] { expire(); });
}

Watchdog::~Watchdog() {
    host_.simulation().events().cancel(expiry_);
}

void Watchdog::chipReset() {
    enabled_ = false;
    pauseBits_ = kCtrlPauseBits;
    tick_ = kTickEnable;
    loaded_ = 0;
    loadedAt_ = host_.now();
    host_.simulation().events().cancel(expiry_);
}

void Watchdog::powerOnReset() {
    chipReset();
    reason_ = 0;
    scratch_.fill(0);
}

bool Watchdog::paused() const {
    return halted_ && pausesOnDebug();
}

std::uint32_t Watchdog::count() const {
    if (!enabled_ || paused())
        return loaded_;
    const Time elapsedUs = (host_.now() - loadedAt_) / 1000;
    const std::uint64_t used = 2 * elapsedUs;
    return used >= loaded_ ? 0 : static_cast<std::uint32_t>(loaded_ - used);
}

void Watchdog::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    if (!enabled)
        loaded_ = count();
    enabled_ = enabled;
    loadedAt_ = host_.now();
    reschedule();
}

void Watchdog::setPauseBits(std::uint32_t bits) {
    bits &= kCtrlPauseBits;
    if (bits == pauseBits_)
        return;
    loaded_ = count();
    loadedAt_ = host_.now();
    pauseBits_ = bits;
    reschedule();
}

void Watchdog::load(std::uint32_t count) {
    loaded_ = count & kMaxLoad;
    loadedAt_ = host_.now();
    reschedule();
}

void Watchdog::debugHaltChanged(bool halted) {
    if (halted == halted_)
        return;
    // Freeze the count where it is, or let it run on from there.
    loaded_ = count();
    loadedAt_ = host_.now();
    halted_ = halted;
    reschedule();
}

void Watchdog::reschedule() {
    EventQueue& events = host_.simulation().events();
    if (!enabled_ || paused()) {
        events.cancel(expiry_);
        return;
    }
    // Two counts per 1 us tick; an odd count needs one more tick.
    const Time ticks = (Time{loaded_} + 1) / 2;
    host_.simulation().schedule(expiry_, loadedAt_ + microseconds(ticks));
}

void Watchdog::trigger() {
    reason_ = kReasonForce;
    // A reset from firmware context does not return: no temporary string.
    static const std::string cause = "watchdog trigger";
    host_.resetChip(cause);
}

std::uint32_t Watchdog::peek(std::uint32_t offset) const {
    if (offset >= kScratch0 && offset < kTick)
        return scratch_[(offset - kScratch0) / 4];
    switch (offset) {
    case kCtrl:
        return count() | pauseBits_ | (enabled_ ? kCtrlEnable : 0u);
    case kReason:
        return reason_;
    case kTick:
        return tick_ | ((tick_ & kTickEnable) ? kTickRunning : 0u);
    default:
        return 0; // LOAD is write-only
    }
}

void Watchdog::write(std::uint32_t offset, std::uint32_t value) {
    if (offset >= kScratch0 && offset < kTick) {
        scratch_[(offset - kScratch0) / 4] = value;
        return;
    }
    switch (offset) {
    case kCtrl:
        setPauseBits(value);
        setEnabled(value & kCtrlEnable);
        if (value & kCtrlTrigger)
            trigger();
        break;
    case kLoad:
        load(value);
        break;
    case kTick:
        tick_ = kMap.masked(kTick, value);
        break;
    default:
        break; // REASON is read-only
    }
}

void Watchdog::expire() {
    if (!enabled_ || paused())
        return;
    reason_ = kReasonTimer;
    enabled_ = false;
    static const std::string cause = "watchdog timeout";
    host_.resetChip(cause);
}

} // namespace sim
