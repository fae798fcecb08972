#include "chip/chip.h"

#include "sdk/runtime.h"

#include <algorithm>
#include <exception>

namespace sim {

Chip::Chip(Simulation& sim, std::string name)
    : Processor(sim, std::move(name)), sdk_(std::make_unique<sdk::Runtime>()), gpio(*this),
      spi(*this), adc(*this), pwm(*this), watchdog(*this), timer(*this), console(*this),
      i2c0Block(*this, I2cController::kI2c0Irq, gpio), uart0(*this) {
    gpio.attachPeripheral(gpiofn::kSpi, &spi);
    gpio.attachPeripheral(gpiofn::kUart, &uart0);
    gpio.attachPeripheral(gpiofn::kPwm, &pwm);
    gpio.reset();
    spi.reset();
    adc.reset();
    pwm.reset();
    timer.reset();
    uart0.reset();
    watchdog.powerOnReset();
    setBeforeBoot([this] { beforeBoot(); });
    setEntry([this] { return boot(); });
}

Chip::~Chip() = default;

void Chip::loadImage(const std::string& path) {
    auto image = std::make_unique<FirmwareImage>(path);
    image->loadFresh();
    image_ = std::move(image);
    imageBooted_ = false;
}

void Chip::setMain(std::function<int()> main) {
    image_.reset();
    main_ = std::move(main);
}

void Chip::beforeBoot() {
    // A copy that has run holds the statics of that run: boot a fresh one.
    if (image_ && imageBooted_) {
        try {
            image_->loadFresh();
        } catch (const std::exception& e) {
            failSoft(e.what());
        }
        imageBooted_ = false;
    }
}

int Chip::boot() {
    // What the SDK's runtime does on core 0 before main.
    sdk::runtimeInit(*this);
    if (image_) {
        imageBooted_ = true;
        return image_->runMain();
    }
    return main_ ? main_() : 0;
}

void Chip::setDebugHalt(bool halted) {
    Processor::setDebugHalt(halted);
    watchdog.debugHaltChanged(halted);
    timer.debugHaltChanged(halted);
}

void Chip::setCoreIrqLine(int core, unsigned irq, bool level) {
    setIrqLine(core, irq, level);
}

void Chip::addObserver(ChipObserver& observer) {
    removeObserver(observer);
    observers_.push_back(&observer);
}

void Chip::removeObserver(ChipObserver& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer),
                     observers_.end());
}

void Chip::resetPeripherals() {
    // Every block of the chip starts over; the watchdog keeps its reason and
    // scratch registers, and the world keeps driving the pins.
    console.cut();
    const std::string cause = resetLog().empty() ? std::string("reset") : resetLog().back().cause;
    forEachObserver([&](ChipObserver& o) { o.chipReset(*this, cause); });
    *sdk_ = sdk::Runtime{};
    gpio.reset();
    spi.reset();
    adc.reset();
    pwm.reset();
    timer.reset();
    i2c0Block.reset();
    uart0.reset();
    watchdog.chipReset();
}

} // namespace sim
