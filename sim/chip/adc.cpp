#include "chip/adc.h"

#include "chip/block_host.h"
#include "chip/gpio.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr std::uint32_t kCsStored = Adc::kCsEn | Adc::kCsTsEn | Adc::kCsStartMany |
                                    7u << Adc::kCsAinselShift | 0x1Fu << Adc::kCsRrobinShift;
constexpr std::uint32_t kFcsStored =
    Adc::kFcsEn | Adc::kFcsShift | Adc::kFcsErr | Adc::kFcsDreqEn | 0xFu << Adc::kFcsThreshShift;
constexpr RegisterInfo kRegisters[] = {
    // The start bits act; READY shows an enabled ADC that is idle.
    status(Adc::kCs, 0, kCsStored | Adc::kCsStartOnce),
    status(Adc::kResult, 0),
    // EMPTY, FULL and LEVEL follow the FIFO; UNDER and OVER are sticky.
    status(Adc::kFcs, Adc::kFcsEmpty, kFcsStored, Adc::kFcsUnder | Adc::kFcsOver),
    status(Adc::kFifo, 0), // reading pops it
    stored(Adc::kDiv, 0, 0xFFFFFF),
    status(Adc::kIntr, 0),
    stored(Adc::kInte, 0, 0x1),
    stored(Adc::kIntf, 0, 0x1),
    status(Adc::kInts, 0),
};
constexpr RegisterMap kMap{kRegisters};

} // namespace

const RegisterMap& Adc::registers() {
    return kMap;
}

Adc::Adc(BlockHost& host, Gpio& gpio) : host_(host), gpio_(gpio) {
    endEvent_.set([this] { endConversion(); });
    nextEvent_.set([this] {
        if (enabled() && (cs_ & kCsStartMany) && !converting_)
            startConversion();
    });
}

Adc::~Adc() {
    host_.simulation().events().cancel(endEvent_);
    host_.simulation().events().cancel(nextEvent_);
}

void Adc::reset() {
    host_.simulation().events().cancel(endEvent_);
    host_.simulation().events().cancel(nextEvent_);
    cs_ = fcs_ = 0;
    div_ = kMap.reset(kDiv);
    inte_ = kMap.reset(kInte);
    intf_ = kMap.reset(kIntf);
    result_ = 0;
    fifo_.clear();
    converting_ = false;
    updateIrq();
}

void Adc::setAinsel(unsigned input) {
    cs_ = (cs_ & ~(7u << kCsAinselShift)) | (input & 7u) << kCsAinselShift;
}

std::uint16_t Adc::sample(unsigned input) {
    if (input == 4)
        return (cs_ & kCsTsEn) ? kTemperatureReading : 0;
    if (input > 4)
        return 0; // AINSEL 5..7 select nothing
    const unsigned pin = kFirstPin + input;
    if (source_) {
        if (std::optional<std::uint16_t> v = source_->sample(input))
            return throughPad(pin, std::min(*v, kFullScale));
    }
    // Nothing analog on the pin: it converts whatever drives it digitally,
    // near a rail; a floating pin reads 0.
    PinState s = gpio_.state(pin);
    return s.floating ? 0 : (s.level ? kFullScale : 0);
}

std::uint16_t Adc::throughPad(unsigned pin, std::uint16_t raw) const {
    const PinState s = gpio_.state(pin);
    if (s.chip != Drive::None)
        return s.chip == Drive::High ? kFullScale : 0; // far stronger than any source
    // The pin's node: currents from the source and the pulls meet the leak.
    constexpr double kVolts = 3.3;
    double conductance = 1 / kSourceOhms;
    double current = raw * kVolts / 4096 / kSourceOhms;
    if (s.pullUp) {
        conductance += 1 / kPullOhms;
        current += kVolts / kPullOhms;
    }
    if (s.pullDown)
        conductance += 1 / kPullOhms;
    if (s.inputEnabled)
        current -= kInputLeakAmps;
    const double counts = std::round(current / conductance / kVolts * 4096);
    return static_cast<std::uint16_t>(std::clamp(counts, 0.0, double{kFullScale}));
}

void Adc::startConversion() {
    converting_ = true;
    started_ = host_.now();
    ends_ = started_ + kConversionTime;
    sampled_ = sample(selected());
    ++conversions_;
    host_.simulation().schedule(endEvent_, ends_);
    updateIrq();
}

void Adc::endConversion() {
    converting_ = false;
    result_ = sampled_;
    if (fcs_ & kFcsEn) {
        if (fifo_.size() < kFifoDepth)
            fifo_.push_back((fcs_ & kFcsShift) ? static_cast<std::uint16_t>(result_ >> 4)
                                               : result_);
        else
            fcs_ |= kFcsOver;
    }
    const std::uint32_t mask = (cs_ >> kCsRrobinShift) & 0x1Fu;
    if (mask) {
        unsigned next = selected();
        do {
            next = (next + 1) % kInputs;
        } while (!((mask >> next) & 1u));
        setAinsel(next);
    }
    if (enabled() && (cs_ & kCsStartMany)) {
        const Time next = std::max(host_.now(), started_ + pacing());
        if (next == host_.now())
            startConversion();
        else
            host_.simulation().schedule(nextEvent_, next);
    }
    updateIrq();
}

Time Adc::pacing() const {
    if (div_ == 0)
        return 0;
    // 1 + INT + FRAC/256 cycles of 48 MHz, a cycle being 125/6 ns.
    const Time cycles256 = 256 * (1 + Time{div_ >> 8}) + (div_ & 0xFFu);
    return cycles256 * 125 / (6 * 256);
}

void Adc::catchUp() {
    for (bool again = true; again;) {
        again = false;
        if (converting_ && ends_ <= host_.now()) {
            host_.simulation().events().cancel(endEvent_);
            endConversion();
            again = true;
        }
        if (nextEvent_.scheduled() && nextEvent_.when() <= host_.now()) {
            host_.simulation().events().cancel(nextEvent_);
            nextEvent_.fire();
            again = true;
        }
    }
}

std::uint32_t Adc::rawInterrupts() const {
    const std::size_t thresh = (fcs_ >> kFcsThreshShift) & 0xFu;
    return fifo_.size() >= std::max<std::size_t>(thresh, 1) ? 1u : 0u;
}

void Adc::updateIrq() {
    host_.setIrqLine(kAdcIrqFifo, ((rawInterrupts() & inte_) | intf_) != 0);
}

std::uint32_t Adc::read(std::uint32_t offset) {
    catchUp();
    if (offset != kFifo)
        return peek(offset);
    if (fifo_.empty()) {
        fcs_ |= kFcsUnder;
        return 0;
    }
    const std::uint16_t value = fifo_.front();
    fifo_.pop_front();
    updateIrq();
    return value;
}

std::uint32_t Adc::peek(std::uint32_t offset) const {
    switch (offset) {
    case kCs:
        return cs_ | ((enabled() && !converting_) ? kCsReady : 0u);
    case kResult:
        return result_;
    case kFcs: {
        const auto level = static_cast<std::uint32_t>(fifo_.size());
        return fcs_ | (fifo_.empty() ? kFcsEmpty : 0u) | (level == kFifoDepth ? kFcsFull : 0u) |
               level << kFcsLevelShift;
    }
    case kFifo:
        return fifo_.empty() ? 0 : fifo_.front();
    case kDiv:
        return div_;
    case kIntr:
        return rawInterrupts();
    case kInte:
        return inte_;
    case kIntf:
        return intf_;
    case kInts:
        return (rawInterrupts() & inte_) | intf_;
    default:
        return 0;
    }
}

void Adc::write(std::uint32_t offset, std::uint32_t value) {
    catchUp();
    switch (offset) {
    case kCs: {
        const bool manyBefore = (cs_ & kCsStartMany) != 0;
        cs_ = value & kCsStored;
        const bool start = (value & kCsStartOnce) || (!manyBefore && (cs_ & kCsStartMany));
        if (start && enabled() && !converting_)
            startConversion();
        break;
    }
    case kFcs:
        fcs_ = (fcs_ & kMap.clearBits(kFcs) & ~value) | (value & kFcsStored);
        break;
    case kDiv:
        div_ = kMap.masked(kDiv, value);
        break;
    case kInte:
        inte_ = kMap.masked(kInte, value);
        break;
    case kIntf:
        intf_ = kMap.masked(kIntf, value);
        break;
    default:
        break;
    }
    updateIrq();
}

} // namespace sim
