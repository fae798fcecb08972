#include "chip/spi.h"

#include "chip/block_host.h"
#include "chip/observer.h"

#include <algorithm>
#include <map>

namespace sim {

namespace {

constexpr RegisterInfo kRegisters[] = {
    stored(Spi::kCr0, 0, 0xFFFF),
    stored(Spi::kCr1, 0, 0xF),
    action(Spi::kDr, 0, 0xFFFF),
    status(Spi::kSr, Spi::kSrTfe | Spi::kSrTnf),
    stored(Spi::kCpsr, 0, 0xFE), // always even
    stored(Spi::kImsc, 0, 0xF),
    status(Spi::kRis, Spi::kIntTx),
    status(Spi::kMis, 0),
    action(Spi::kIcr, 0, Spi::kIntRor | Spi::kIntRt),
    stored(Spi::kDmaCr, 0, 0x3),
    // SSPPERIPHID0..3 and SSPPCELLID0..3.
    status(0xFE0, 0x22),
    status(0xFE4, 0x10),
    status(0xFE8, 0x34),
    status(0xFEC, 0x00),
    status(0xFF0, 0x0D),
    status(0xFF4, 0xF0),
    status(0xFF8, 0x05),
    status(0xFFC, 0xB1),
};
constexpr RegisterMap kMap{kRegisters};
// The receive timeout: words left unread this many bit periods.
constexpr Time kTimeoutBits = 32;

} // namespace

const RegisterMap& Spi::registers() {
    return kMap;
}

Spi::Spi(BlockHost& host, Gpio& gpio) : host_(host), gpio_(gpio) {
    frameEvent_.set([this] { endFrame(); });
    timeoutEvent_.set([this] { receiveTimeout(); });
}

Spi::~Spi() {
    host_.simulation().events().cancel(frameEvent_);
    host_.simulation().events().cancel(timeoutEvent_);
}

void Spi::reset() {
    host_.simulation().events().cancel(frameEvent_);
    host_.simulation().events().cancel(timeoutEvent_);
    const bool wasCpol = cpol();
    cr0_ = kMap.reset(kCr0);
    cr1_ = kMap.reset(kCr1);
    cpsr_ = kMap.reset(kCpsr);
    imsc_ = kMap.reset(kImsc);
    dmacr_ = kMap.reset(kDmaCr);
    overrun_ = timedOut_ = false;
    tx_.clear();
    rx_.clear();
    inFrame_ = false;
    updateIrq();
    if (wasCpol)
        gpio_.peripheralOutputsChanged(); // SCK idles low again
}

unsigned Spi::dataBits() const {
    // DSS is the size minus one; sizes below 4 bits are reserved.
    return std::max(4u, (cr0_ & 0xFu) + 1);
}

std::uint16_t Spi::mask() const {
    return static_cast<std::uint16_t>(dataBits() >= 16 ? 0xFFFFu : (1u << dataBits()) - 1u);
}

Spi::Role Spi::role(unsigned pin) {
    // SPI0 sits on GPIO0..7 and GPIO16..23, four pins per group in the order
    // RX, CSn, SCK, TX; the other pins with the SPI function belong to SPI1.
    if (pin > 23 || (pin >= 8 && pin < 16))
        return Role::None;
    switch (pin % 4) {
    case 0:
        return Role::Rx;
    case 1:
        return Role::Csn;
    case 2:
        return Role::Sck;
    default:
        return Role::Tx;
    }
}

Drive Spi::drive(unsigned pin) const {
    switch (role(pin)) {
    case Role::Sck:
        return cpol() ? Drive::High : Drive::Low;
    case Role::Tx:
        return Drive::Low;
    case Role::Csn:
        return Drive::High;
    default:
        return Drive::None;
    }
}

void Spi::attach(SpiDevice& device, SpiWiring wiring) {
    detach(device);
    devices_.push_back({&device, wiring});
}

void Spi::detach(SpiDevice& device) {
    devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                  [&](const Attached& a) { return a.device == &device; }),
                   devices_.end());
}

bool Spi::canStart() const {
    // A prescaler below 2 gives the block no clock.
    return enabled() && !inFrame_ && !tx_.empty() && cpsr_ >= 2;
}

void Spi::startFrame() {
    const std::uint16_t word = tx_.front();
    tx_.pop_front();
    inFrame_ = true;
    const Time start = host_.now();
    frameEnd_ = start + frameTime();
    const std::uint16_t answer = shift(word, start, frameEnd_);
    frameRx_ = (cr1_ & kCr1Lbm) ? static_cast<std::uint16_t>(word & mask()) : answer;
    host_.simulation().schedule(frameEvent_, frameEnd_);
}

void Spi::endFrame() {
    inFrame_ = false;
    if (rx_.size() < kFifoDepth)
        rx_.push_back(frameRx_);
    else
        overrun_ = true;
    host_.simulation().schedule(timeoutEvent_, host_.now() + kTimeoutBits * clockPeriod());
    if (canStart())
        startFrame();
    updateIrq();
}

void Spi::catchUp() {
    while (inFrame_ && frameEnd_ <= host_.now()) {
        host_.simulation().events().cancel(frameEvent_);
        endFrame();
    }
}

void Spi::receiveTimeout() {
    if (!rx_.empty())
        timedOut_ = true;
    updateIrq();
}

void Spi::pushTx(std::uint16_t word) {
    if (tx_.size() < kFifoDepth)
        tx_.push_back(word);
    if (canStart())
        startFrame();
    updateIrq();
}

std::uint16_t Spi::popRx() {
    if (rx_.empty())
        return 0;
    const std::uint16_t word = rx_.front();
    rx_.pop_front();
    // A read starts the timeout over.
    if (rx_.empty())
        host_.simulation().events().cancel(timeoutEvent_);
    else
        host_.simulation().schedule(timeoutEvent_, host_.now() + kTimeoutBits * clockPeriod());
    updateIrq();
    return word;
}

std::uint32_t Spi::rawInterrupts() const {
    std::uint32_t raw = 0;
    if (overrun_)
        raw |= kIntRor;
    if (timedOut_)
        raw |= kIntRt;
    if (rx_.size() >= kFifoDepth / 2)
        raw |= kIntRx;
    if (tx_.size() <= kFifoDepth / 2)
        raw |= kIntTx;
    return raw;
}

void Spi::updateIrq() {
    host_.setIrqLine(kSpi0Irq, (rawInterrupts() & imsc_) != 0);
}

std::uint32_t Spi::read(std::uint32_t offset) {
    catchUp();
    if (offset == kDr)
        return popRx();
    return peek(offset);
}

std::uint32_t Spi::peek(std::uint32_t offset) const {
    if (offset >= kPeriphId0) {
        const RegisterInfo* id = kMap.find(offset);
        return id ? id->reset : 0;
    }
    switch (offset) {
    case kCr0:
        return cr0_;
    case kCr1:
        return cr1_;
    case kDr:
        return rx_.empty() ? 0 : rx_.front();
    case kSr: {
        std::uint32_t sr = 0;
        if (tx_.empty())
            sr |= kSrTfe;
        if (tx_.size() < kFifoDepth)
            sr |= kSrTnf;
        if (!rx_.empty())
            sr |= kSrRne;
        if (rx_.size() == kFifoDepth)
            sr |= kSrRff;
        if (busy())
            sr |= kSrBsy;
        return sr;
    }
    case kCpsr:
        return cpsr_;
    case kImsc:
        return imsc_;
    case kRis:
        return rawInterrupts();
    case kMis:
        return rawInterrupts() & imsc_;
    case kDmaCr:
        return dmacr_;
    default:
        return 0;
    }
}

void Spi::write(std::uint32_t offset, std::uint32_t value) {
    catchUp();
    switch (offset) {
    case kCr0: {
        const bool wasCpol = cpol();
        cr0_ = kMap.masked(kCr0, value);
        if (cpol() != wasCpol)
            gpio_.peripheralOutputsChanged();
        break;
    }
    case kCr1:
        cr1_ = kMap.masked(kCr1, value);
        break;
    case kDr:
        pushTx(static_cast<std::uint16_t>(value));
        return;
    case kCpsr:
        cpsr_ = kMap.masked(kCpsr, value);
        break;
    case kImsc:
        imsc_ = kMap.masked(kImsc, value);
        break;
    case kIcr:
        if (value & kIntRor)
            overrun_ = false;
        if (value & kIntRt)
            timedOut_ = false;
        break;
    case kDmaCr:
        dmacr_ = kMap.masked(kDmaCr, value);
        break;
    default:
        return;
    }
    if (canStart())
        startFrame();
    updateIrq();
}

std::uint16_t Spi::shift(std::uint16_t tx, Time start, Time end) {
    Gpio& gpio = gpio_;
    const std::uint16_t mask = this->mask();
    tx = static_cast<std::uint16_t>(tx & mask);
    auto routed = [&](int pin, Role r) {
        return pin >= 0 && pin < static_cast<int>(kGpioCount) &&
               gpio.function(static_cast<unsigned>(pin)) == gpiofn::kSpi &&
               role(static_cast<unsigned>(pin)) == r;
    };

    SpiFrame f{start, end, dataBits(), cpol(), cpha(), true, tx};
    std::map<int, std::uint16_t> driven; // device data-out wires and their words
    for (const Attached& a : devices_) {
        if (!routed(a.wiring.sck, Role::Sck))
            continue; // no clock reaches this device
        SpiFrame seen = f;
        if (routed(a.wiring.sdi, Role::Tx))
            seen.mosi = tx;
        else if (a.wiring.sdi >= 0)
            seen.mosi = gpio.level(static_cast<unsigned>(a.wiring.sdi)) ? mask : 0;
        else
            seen.mosi = 0;
        std::optional<std::uint16_t> out = a.device->clock(seen);
        if (out && a.wiring.sdo >= 0) {
            auto it = driven.find(a.wiring.sdo);
            if (it == driven.end()) {
                driven[a.wiring.sdo] = *out;
            } else {
                // Two devices talking at once: a low wins on the wire.
                it->second = static_cast<std::uint16_t>(it->second & *out);
                host_.trace("spi0: two devices drive GPIO" + std::to_string(a.wiring.sdo) +
                            " in one frame");
            }
        }
    }

    // The block's RX input: the first SPI0 RX pin handed to the SPI function;
    // with none, the input reads 0. A wire no device drives reads as the pad
    // holds it: a pulled line gives all ones or all zeros.
    std::uint16_t rx = 0;
    for (unsigned pin : {0u, 4u, 16u, 20u}) {
        if (gpio.function(pin) != gpiofn::kSpi)
            continue;
        auto it = driven.find(static_cast<int>(pin));
        if (it != driven.end())
            rx = static_cast<std::uint16_t>(it->second & mask);
        else
            rx = gpio.level(pin) ? mask : 0;
        break;
    }
    ++frames_;
    host_.notifyObservers([&](ChipObserver& o, Chip& c) { o.spiFrame(c, f, rx); });
    return rx;
}

} // namespace sim
