// One RP2040 with its peripherals: the processor (two cores, interrupts,
// spin locks, the RTOS) from sim/kernel, and the blocks the firmware reaches
// through the SDK. The firmware finds the chip it runs on with current().
#pragma once

#include "chip/adc.h"
#include "chip/console.h"
#include "chip/firmware_image.h"
#include "chip/gpio.h"
#include "chip/i2c_controller.h"
#include "chip/observer.h"
#include "chip/pwm.h"
#include "chip/spi.h"
#include "chip/timer.h"
#include "chip/uart.h"
#include "chip/watchdog.h"
#include "kernel/processor.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

namespace sdk {
struct Runtime;
}

class Chip : public Processor {
public:
    Chip(Simulation& sim, std::string name);
    ~Chip() override;

    // The chip whose code is executing now.
    static Chip& current() { return static_cast<Chip&>(Processor::current()); }
    static Chip* currentOrNull() { return static_cast<Chip*>(Processor::currentOrNull()); }

    // --- firmware ------------------------------------------------------------
    // Runs the image at `path` (a shared object with main) from every boot,
    // each time in a fresh copy. Throws std::runtime_error when it cannot be
    // loaded.
    void loadImage(const std::string& path);
    // Runs `main` from every boot instead of an image (test programs).
    void setMain(std::function<int()> main);
    FirmwareImage* image() const { return image_.get(); }

    // Stops the run with a message naming the executing context. The message
    // is kept by the chip, as the failing context never returns to free it.
    [[noreturn]] void failWith(std::string message) {
        failMessage_ = std::move(message);
        fail(failMessage_);
    }

    // A debugger halt of both cores; the watchdog and the timer pause with it
    // when asked to.
    void setDebugHalt(bool halted) override;

    // --- interrupt outputs of the peripherals ------------------------------------
    // A block with one output per core (IO bank 0) raises it towards one core.
    void setCoreIrqLine(int core, unsigned irq, bool level);

    // --- probes --------------------------------------------------------------------
    void addObserver(ChipObserver& observer);
    void removeObserver(ChipObserver& observer);
    template <class F>
    void forEachObserver(F&& f) {
        for (std::size_t i = 0; i < observers_.size(); ++i)
            f(*observers_[i]);
    }

    // The SDK's own static data for this chip.
    sdk::Runtime& sdkRuntime() { return *sdk_; }

private:
    std::vector<ChipObserver*> observers_;
    std::unique_ptr<sdk::Runtime> sdk_;

public:
    Gpio gpio;
    Spi spi; // SPI0 (named so as not to meet the SDK macro spi0)
    Adc adc;
    Pwm pwm;
    Watchdog watchdog;
    Timer timer;
    Console console;
    // I2C0; not named i2c0, which is the SDK's macro for its instance.
    I2cController i2c0Block;
    // UART0, the console of images that print through it (the SDK layer's
    // stdio sends through it when the image links the UART driver).
    Uart uart0;

protected:
    void resetPeripherals() override;

private:
    int boot();
    void beforeBoot();

    std::unique_ptr<FirmwareImage> image_;
    std::function<int()> main_;
    bool imageBooted_ = false;
    std::string failMessage_;
};

} // namespace sim
