#include "chip/pwm.h"

#include "chip/block_host.h"
#include "chip/observer.h"

#include <cstdio>

namespace sim {

Pwm::Pwm(BlockHost& host, Gpio& gpio) : host_(host), gpio_(gpio) {
    for (unsigned n = 0; n < kSlices; ++n)
        wrapEvents_[n].set([this, n] { wrapped(n); });
}

Pwm::~Pwm() {
    for (auto& e : wrapEvents_)
        host_.simulation().events().cancel(e);
}

namespace {

// Eight slices of CSR, DIV, CTR, CC and TOP, then the shared registers.
constexpr auto kRegisters = [] {
    constexpr std::uint32_t kSliceRegisters = 5;
    std::array<RegisterInfo, Pwm::kSlices * kSliceRegisters + 5> r{};
    for (std::uint32_t n = 0; n < Pwm::kSlices; ++n) {
        const std::uint32_t base = n * Pwm::kSliceStride;
        // CSR's phase strobes act once and read back as 0.
        r[n * kSliceRegisters + 0] = stored(base + Pwm::kCsr, 0, 0x3F);
        r[n * kSliceRegisters + 1] = stored(base + Pwm::kDiv, 0x10, 0xFFF);
        r[n * kSliceRegisters + 2] = stored(base + Pwm::kCtr, 0, 0xFFFF);
        r[n * kSliceRegisters + 3] = stored(base + Pwm::kCc, 0, 0xFFFFFFFF);
        r[n * kSliceRegisters + 4] = stored(base + Pwm::kTop, 0xFFFF, 0xFFFF);
    }
    const std::size_t shared = Pwm::kSlices * kSliceRegisters;
    r[shared + 0] = stored(Pwm::kEn, 0, 0xFF);
    r[shared + 1] = status(Pwm::kIntr, 0, 0xFF, 0xFF); // the wrap flags
    r[shared + 2] = stored(Pwm::kInte, 0, 0xFF);
    r[shared + 3] = stored(Pwm::kIntf, 0, 0xFF);
    r[shared + 4] = status(Pwm::kInts, 0);
    return r;
}();
constexpr RegisterMap kMap{kRegisters};

} // namespace

const RegisterMap& Pwm::registers() {
    return kMap;
}

void Pwm::reset() {
    for (auto& e : wrapEvents_)
        host_.simulation().events().cancel(e);
    slices_.fill(PwmSlice{});
    raw_ = inte_ = intf_ = 0;
    for (unsigned n = 0; n < kSlices; ++n)
        described_[n] = describe(n);
    updateIrq();
}

std::uint64_t Pwm::position(unsigned n) const {
    const PwmSlice& s = slices_.at(n);
    if (!s.counting())
        return s.position;
    // One count per `divider / 16` system clock cycles of 8 ns: divider/2 ns.
    const std::uint64_t ticks = (host_.now() - s.since) * 2 / s.divider;
    return (s.position + ticks) % s.period();
}

std::uint16_t Pwm::counter(unsigned n) const {
    const PwmSlice& s = slices_.at(n);
    const std::uint64_t p = position(n);
    // Down from TOP in the second half of a phase-correct period.
    if (s.phaseCorrect && p > s.top && p < s.period())
        return static_cast<std::uint16_t>(s.period() - 1 - p);
    return static_cast<std::uint16_t>(p);
}

void Pwm::rebase(PwmSlice& s) {
    const unsigned n = static_cast<unsigned>(&s - slices_.data());
    s.position = static_cast<std::uint32_t>(position(n));
    s.since = host_.now();
}

void Pwm::writeControl(unsigned n, std::uint32_t csr) {
    PwmSlice& s = slices_.at(n);
    rebase(s);
    const bool phaseCorrect = (csr >> 1) & 1u;
    if (phaseCorrect != s.phaseCorrect)
        s.position = counter(n); // the same count, on the way up
    s.enabled = csr & 1u;
    s.phaseCorrect = phaseCorrect;
    s.invertA = (csr >> 2) & 1u;
    s.invertB = (csr >> 3) & 1u;
    s.divMode = (csr >> 4) & 3u;
    written(n);
    changed(n);
}

std::uint32_t Pwm::control(unsigned n) const {
    const PwmSlice& s = slices_.at(n);
    return (s.enabled ? 1u : 0u) | (s.phaseCorrect ? 2u : 0u) | (s.invertA ? 4u : 0u) |
           (s.invertB ? 8u : 0u) | (s.divMode << 4);
}

void Pwm::setEnabled(unsigned n, bool enabled) {
    PwmSlice& s = slices_.at(n);
    if (s.enabled == enabled)
        return;
    rebase(s);
    s.enabled = enabled;
    written(n);
    changed(n);
}

void Pwm::setEnabledMask(std::uint32_t mask) {
    for (unsigned n = 0; n < kSlices; ++n)
        setEnabled(n, (mask >> n) & 1u);
}

void Pwm::setDivider(unsigned n, std::uint8_t integer, std::uint8_t fraction) {
    PwmSlice& s = slices_.at(n);
    rebase(s);
    // An integer part of 0 means 256.
    const unsigned whole = integer ? integer : 256u;
    s.divider = static_cast<std::uint16_t>(whole * 16u + (fraction & 0xFu));
    changed(n);
}

void Pwm::setTop(unsigned n, std::uint16_t top) {
    slices_.at(n).topWritten = top;
    written(n);
}

void Pwm::setLevels(unsigned n, std::uint16_t a, std::uint16_t b) {
    PwmSlice& s = slices_.at(n);
    s.levelAWritten = a;
    s.levelBWritten = b;
    written(n);
}

void Pwm::written(unsigned n) {
    if (slices_.at(n).counting())
        scheduleWrap(n); // the next wrap takes it
    else
        latch(n);
}

void Pwm::latch(unsigned n) {
    PwmSlice& s = slices_.at(n);
    if (!s.waiting())
        return;
    rebase(s);
    s.top = s.topWritten;
    s.levelA = s.levelAWritten;
    s.levelB = s.levelBWritten;
    changed(n);
}

void Pwm::setCounter(unsigned n, std::uint16_t count) {
    PwmSlice& s = slices_.at(n);
    s.position = count;
    s.since = host_.now();
    scheduleWrap(n);
    gpio_.peripheralOutputsChanged();
}

bool Pwm::output(unsigned n, unsigned channel) const {
    const PwmSlice& s = slices_.at(n);
    const std::uint16_t level = channel ? s.levelB : s.levelA;
    const bool out = counter(n) < level;
    return out != (channel ? s.invertB : s.invertA);
}

std::string Pwm::describe(unsigned n) const {
    const PwmSlice& s = slices_.at(n);
    char text[96];
    std::snprintf(text, sizeof text, "slice %u %s, top %u, div %u.%u, A %u, B %u", n,
                  s.enabled ? "on" : "off", s.top, s.divider / 16u, s.divider % 16u, s.levelA,
                  s.levelB);
    return text;
}

Drive Pwm::drive(unsigned pin) const {
    return output(sliceOf(pin), channelOf(pin)) ? Drive::High : Drive::Low;
}

bool Pwm::toggling(unsigned pin) const {
    const PwmSlice& s = slices_.at(sliceOf(pin));
    if (!s.enabled)
        return false;
    const std::uint16_t level = channelOf(pin) ? s.levelB : s.levelA;
    // Level 0 keeps the output low and a level above TOP keeps it high.
    return level != 0 && level <= s.top;
}

void Pwm::changed(unsigned n) {
    // Observers hear of settings that differ from what they last heard.
    std::string now = describe(n);
    if (now != described_[n]) {
        described_[n] = now;
        host_.notifyObservers([&](ChipObserver& o, Chip& c) { o.pwmChanged(c, n); });
    }
    scheduleWrap(n);
    gpio_.peripheralOutputsChanged();
}

Time Pwm::nextWrap(unsigned n) const {
    const PwmSlice& s = slices_.at(n);
    if (!s.counting())
        return kNever;
    // Counts from `since`: one per divider/2 ns. A wrap comes every period,
    // where the count returns to 0.
    const std::uint64_t period = s.period();
    const std::uint64_t ticks = (host_.now() - s.since) * 2 / s.divider;
    const std::uint64_t wrapTick = ((s.position + ticks) / period + 1) * period - s.position;
    return s.since + (wrapTick * s.divider + 1) / 2;
}

void Pwm::scheduleWrap(unsigned n) {
    // A set flag stays set: the next wrap matters only once it is cleared,
    // or when buffered values wait for it.
    const bool wanted = !((raw_ >> n) & 1u) || slices_.at(n).waiting();
    const Time at = wanted ? nextWrap(n) : kNever;
    if (at == kNever)
        host_.simulation().events().cancel(wrapEvents_[n]);
    else
        host_.simulation().schedule(wrapEvents_[n], at);
}

void Pwm::wrapped(unsigned n) {
    raw_ |= 1u << n;
    latch(n);
    scheduleWrap(n);
    updateIrq();
}

void Pwm::clearWrapFlags(std::uint32_t mask) {
    raw_ &= ~mask;
    for (unsigned n = 0; n < kSlices; ++n) {
        if ((mask >> n) & 1u)
            scheduleWrap(n);
    }
    updateIrq();
}

void Pwm::updateIrq() {
    host_.setIrqLine(kPwmIrqWrap, ((raw_ & inte_) | intf_) != 0);
}

void Pwm::stepPhase(unsigned n, bool advance) {
    PwmSlice& s = slices_.at(n);
    if (!s.enabled)
        return;
    rebase(s);
    const std::uint64_t period = s.period();
    if (advance)
        s.position = s.position + 1 >= period ? 0 : s.position + 1;
    else
        s.position = s.position == 0 ? static_cast<std::uint32_t>(period - 1) : s.position - 1;
    scheduleWrap(n);
    gpio_.peripheralOutputsChanged();
}

std::uint32_t Pwm::peek(std::uint32_t offset) const {
    if (offset < kEn) {
        const unsigned n = offset / kSliceStride;
        if (n >= kSlices)
            return 0;
        const PwmSlice& s = slices_[n];
        switch (offset % kSliceStride) {
        case kCsr:
            return control(n);
        case kDiv:
            return s.divider & 0xFFFu; // an integer part of 256 reads 0
        case kCtr:
            return counter(n);
        case kCc:
            return s.levelAWritten | std::uint32_t{s.levelBWritten} << 16;
        case kTop:
            return s.topWritten;
        default:
            return 0;
        }
    }
    switch (offset) {
    case kEn: {
        std::uint32_t en = 0;
        for (unsigned n = 0; n < kSlices; ++n)
            en |= (slices_[n].enabled ? 1u : 0u) << n;
        return en;
    }
    case kIntr:
        return raw_;
    case kInte:
        return inte_;
    case kIntf:
        return intf_;
    case kInts:
        return (raw_ & inte_) | intf_;
    default:
        return 0;
    }
}

void Pwm::writeSlice(unsigned n, std::uint32_t reg, std::uint32_t value) {
    switch (reg) {
    case kCsr:
        writeControl(n, kMap.masked(kCsr, value));
        // The phase strobes act once and read back as 0.
        if (value & kCsrPhAdv)
            stepPhase(n, true);
        if (value & kCsrPhRet)
            stepPhase(n, false);
        break;
    case kDiv:
        setDivider(n, static_cast<std::uint8_t>(value >> 4),
                   static_cast<std::uint8_t>(value & 0xFu));
        break;
    case kCtr:
        setCounter(n, static_cast<std::uint16_t>(value));
        break;
    case kCc:
        setLevels(n, static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(value >> 16));
        break;
    case kTop:
        setTop(n, static_cast<std::uint16_t>(value));
        break;
    default:
        break;
    }
}

void Pwm::write(std::uint32_t offset, std::uint32_t value) {
    if (offset < kEn) {
        const unsigned n = offset / kSliceStride;
        if (n < kSlices)
            writeSlice(n, offset % kSliceStride, value);
        return;
    }
    switch (offset) {
    case kEn:
        setEnabledMask(kMap.masked(kEn, value));
        break;
    case kIntr:
        clearWrapFlags(kMap.clearBits(kIntr) & value);
        break;
    case kInte:
        inte_ = kMap.masked(kInte, value);
        updateIrq();
        break;
    case kIntf:
        intf_ = kMap.masked(kIntf, value);
        updateIrq();
        break;
    default:
        break;
    }
}

} // namespace sim
