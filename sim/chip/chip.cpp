#include "chip/chip.h"

#include <algorithm>

namespace sim {

Chip::Chip(Simulation& sim, std::string name)
    : sim_(sim), name_(std::move(name)), blockHost_(sim, *this), gpio(blockHost_),
      spi(blockHost_, gpio), adc(blockHost_, gpio), pwm(blockHost_, gpio), watchdog(blockHost_),
      timer(blockHost_), console(blockHost_),
      i2c0Block(
          sim,
          [this](bool level) {
              if (blocksPowered_)
                  setIrqLine(I2cController::kI2c0Irq, level);
          },
          gpio),
      uart0(blockHost_, gpio, console) {}

Chip::~Chip() = default;

void Chip::powerOnBlocks() {
    blocksPowered_ = true;
    gpio.attachPeripheral(gpiofn::kSpi, &spi);
    gpio.attachPeripheral(gpiofn::kUart, &uart0);
    gpio.attachPeripheral(gpiofn::kPwm, &pwm);
    gpio.reset();
    spi.reset();
    adc.reset();
    pwm.reset();
    timer.reset();
    i2c0Block.reset();
    uart0.reset();
    watchdog.powerOnReset();
}

void Chip::trace(const std::string& what) {
    if (sim_.tracing())
        sim_.trace(name_ + ": " + what);
}

void Chip::setDebugHalt(bool halted) {
    debugHalt_ = halted;
    watchdog.debugHaltChanged(halted);
    timer.debugHaltChanged(halted);
}

void Chip::addObserver(ChipObserver& observer) {
    removeObserver(observer);
    observers_.push_back(&observer);
}

void Chip::removeObserver(ChipObserver& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer),
                     observers_.end());
}

void Chip::resetBlocks() {
    console.cut();
    const std::string cause = resetLog().empty() ? std::string("reset") : resetLog().back().cause;
    forEachObserver([&](ChipObserver& o) { o.chipReset(*this, cause); });
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
