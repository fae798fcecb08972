// The core's state: construction, reset, the register file with its two
// stack pointers, and what it reports about itself.
#include "arm/core.h"
#include "arm/format.h"

namespace sim::arm {

Core::Core(int id, SystemBus& bus) : bus_(bus), id_(id) {
    resetRegisters();
}

void Core::resetRegisters() {
    r_.fill(0);
    // LR starts as a value no return can use.
    r_[14] = 0xFFFFFFFFu;
    otherSp_ = 0;
    pc_ = 0;
    curPc_ = 0;
    n_ = z_ = c_ = v_ = false;
    ipsr_ = 0;
    control_ = 0;
    primask_ = false;
    vtor_ = 0;
    event_ = false;
    stall_ = 0;
    resetRequested_ = false;

    nvicEnabled_ = 0;
    nvicPending_ = 0;
    nvicActive_ = 0;
    irqPriority_.fill(0);
    sysPending_ = 0;
    sysActive_ = 0;
    svcPriority_ = pendSvPriority_ = sysTickPriority_ = 0;
    scr_ = 0;

    systCsr_ = 0;
    systReload_ = 0;
    systCurrent_ = 0;
    countFlag_ = false;

    state_ = State::Running;
    stop_ = Stop{};
    // Lines still high after the reset pend their interrupts again.
    refreshLevels();
    attention_ = true;
}

bool Core::reset(std::uint32_t vtor) {
    resetRegisters();
    setVtor(vtor);
    std::uint32_t sp = 0;
    std::uint32_t entry = 0;
    if (!read(vtor_, 4, sp) || !read(vtor_ + 4, 4, entry)) {
        state_ = State::Stopped;
        stop_ = Stop{"reset: vector table at " + hex(vtor_) + " cannot be read", 0};
        return false;
    }
    r_[13] = sp & ~3u;
    pc_ = entry & ~1u;
    if ((entry & 1u) == 0) {
        // The reset vector leaves the core in ARM state: its first fetch faults.
        state_ = State::Stopped;
        stop_ = Stop{"HardFault: reset vector " + hex(entry) + " lacks the Thumb bit", pc_};
        return false;
    }
    return true;
}

void Core::stop(std::string reason) {
    state_ = State::Stopped;
    stop_ = Stop{std::move(reason), pc_};
}

void Core::fault(const std::string& what) {
    // A fault cannot preempt an NMI handler: the core would lock up.
    const bool lockup = (sysActive_ & (1u << exc::kNmi)) != 0;
    state_ = State::Stopped;
    pc_ = curPc_;
    stop_ = Stop{(lockup ? "lockup: " : "HardFault: ") + what, curPc_};
}

void Core::setReg(unsigned n, std::uint32_t value) {
    if (n == 15) {
        setPc(value);
    } else if (n == 13) {
        r_[13] = value & ~3u;
    } else if (n < 15) {
        r_[n] = value;
    }
}

std::uint32_t Core::msp() const {
    return (control_ & 2u) ? otherSp_ : r_[13];
}
std::uint32_t Core::psp() const {
    return (control_ & 2u) ? r_[13] : otherSp_;
}

void Core::setMsp(std::uint32_t v) {
    ((control_ & 2u) ? otherSp_ : r_[13]) = v & ~3u;
}

void Core::setPsp(std::uint32_t v) {
    ((control_ & 2u) ? r_[13] : otherSp_) = v & ~3u;
}

void Core::selectStack(bool process) {
    if (((control_ & 2u) != 0) != process) {
        std::swap(r_[13], otherSp_);
        control_ ^= 2u;
    }
}

std::uint32_t Core::apsr() const {
    return (std::uint32_t{n_} << 31) | (std::uint32_t{z_} << 30) | (std::uint32_t{c_} << 29) |
           (std::uint32_t{v_} << 28);
}

// The Thumb bit is always set: a core that would leave Thumb state stops.
std::uint32_t Core::xpsr() const {
    return apsr() | (1u << 24) | ipsr_;
}

std::uint8_t Core::irqPriority(unsigned irq) const {
    return irq < 32 ? irqPriority_[irq] : 0;
}

std::vector<std::uint32_t> Core::recentPcs() const {
    const std::uint32_t count = recentCount_ < 32 ? recentCount_ : 32;
    std::vector<std::uint32_t> out;
    out.reserve(count);
    for (std::uint32_t i = recentCount_ - count; i != recentCount_; ++i) {
        out.push_back(recent_[i & 31u]);
    }
    return out;
}

} // namespace sim::arm
