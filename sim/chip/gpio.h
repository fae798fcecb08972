// The 30 user GPIOs of the RP2040: the single-cycle I/O block (SIO) with its
// output and output-enable registers, IO bank 0 with the function select and
// the interrupt logic of every pin, and the pads with their pulls and input
// buffers. The world outside the chip drives pins through drive().
#pragma once

#include "kernel/time.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

class Chip;

constexpr unsigned kGpioCount = 30;

// What one side puts on a wire: nothing, or a level.
enum class Drive : std::uint8_t { None, Low, High };

// Function select values of IO bank 0.
namespace gpiofn {
constexpr unsigned kSpi = 1;
constexpr unsigned kUart = 2;
constexpr unsigned kI2c = 3;
constexpr unsigned kPwm = 4;
constexpr unsigned kSio = 5;
constexpr unsigned kNull = 0x1f;
} // namespace gpiofn

// The four interrupt events of a pin, in the bank's bit order.
namespace gpioirq {
constexpr std::uint32_t kLevelLow = 1;
constexpr std::uint32_t kLevelHigh = 2;
constexpr std::uint32_t kEdgeFall = 4;
constexpr std::uint32_t kEdgeRise = 8;
} // namespace gpioirq

// A peripheral's outputs towards the pads; a pad listens to it only while its
// function select names that peripheral.
class PinDriver {
public:
    virtual ~PinDriver() = default;
    virtual Drive drive(unsigned pin) const = 0;
    // True while the output toggles by itself (a running PWM channel): the
    // pin then has no settled level and raises no edge events in the model.
    virtual bool toggling(unsigned /*pin*/) const { return false; }
};

struct PinState {
    bool level = false;      // what a probe sees
    bool floating = false;   // nothing drives it and no pull holds it (reads low)
    bool contention = false; // chip and world drive opposite levels
    Drive chip = Drive::None;
    Drive world = Drive::None;
    unsigned function = gpiofn::kNull;
    bool outputEnabled = false; // SIO output enable
    bool outLevel = false;      // SIO output level
    bool pullUp = false;
    bool pullDown = false;
    bool inputEnabled = true;
    bool toggling = false;
};

const char* functionName(unsigned function);

class Gpio {
public:
    explicit Gpio(Chip& chip);
    Gpio(const Gpio&) = delete;
    Gpio& operator=(const Gpio&) = delete;

    // Power-on state: every pin function NULL, pads with pull-down and input
    // enabled, SIO outputs off, no interrupt enabled.
    void reset();

    // --- IO bank 0 and pads --------------------------------------------------
    void setFunction(unsigned pin, unsigned function);
    unsigned function(unsigned pin) const { return pins_.at(pin).function; }
    void setPulls(unsigned pin, bool up, bool down);
    bool pulledUp(unsigned pin) const { return pins_.at(pin).pullUp; }
    bool pulledDown(unsigned pin) const { return pins_.at(pin).pullDown; }
    void setInputEnabled(unsigned pin, bool enabled);
    bool inputEnabled(unsigned pin) const { return pins_.at(pin).inputEnabled; }

    // --- SIO -------------------------------------------------------------------
    std::uint32_t out() const { return out_; }
    std::uint32_t outputEnable() const { return oe_; }
    void writeOut(std::uint32_t value);
    void setOut(std::uint32_t mask) { writeOut(out_ | mask); }
    void clearOut(std::uint32_t mask) { writeOut(out_ & ~mask); }
    void toggleOut(std::uint32_t mask) { writeOut(out_ ^ mask); }
    void writeOutputEnable(std::uint32_t value);
    void setOutputEnable(std::uint32_t mask) { writeOutputEnable(oe_ | mask); }
    void clearOutputEnable(std::uint32_t mask) { writeOutputEnable(oe_ & ~mask); }
    void toggleOutputEnable(std::uint32_t mask) { writeOutputEnable(oe_ ^ mask); }
    // GPIO_IN: the input of every pad (0 where the input buffer is off).
    std::uint32_t in() const;

    // --- interrupts --------------------------------------------------------------
    // Edge events latch in one raw register shared by both cores; each core
    // has its own enables, and the bank raises IO_IRQ_BANK0 towards a core
    // while an event it enabled is pending.
    void setIrqEnabled(int core, unsigned pin, std::uint32_t events, bool enabled);
    std::uint32_t irqEnabled(int core, unsigned pin) const;
    void acknowledge(unsigned pin, std::uint32_t events);
    std::uint32_t rawEvents(unsigned pin) const;
    std::uint32_t irqStatus(int core, unsigned pin) const;

    // --- the world's side ----------------------------------------------------------
    void drive(unsigned pin, Drive d);
    Drive worldDrive(unsigned pin) const { return world_.at(pin); }
    Drive chipDrive(unsigned pin) const;
    bool level(unsigned pin) const;
    PinState state(unsigned pin) const;
    // "level 1, sio output high, pull-up" and the like.
    std::string describe(unsigned pin) const;

    // A peripheral that drives the pins whose function select names it.
    void attachPeripheral(unsigned function, PinDriver* driver);
    // A peripheral's outputs changed: pads and interrupt logic look again.
    void peripheralOutputsChanged() { update(); }

    // Called after every change of a pin's settled level.
    using Listener = std::function<void(unsigned pin, bool level)>;
    int addListener(std::uint32_t pinMask, Listener listener);
    void removeListener(int id);

private:
    struct Pin {
        unsigned function = gpiofn::kNull;
        bool pullUp = false;
        bool pullDown = true;
        bool inputEnabled = true;
    };
    struct ListenerEntry {
        int id;
        std::uint32_t mask;
        Listener fn;
    };

    PinState resolve(unsigned pin) const;
    void update();
    void updateIrqLines();

    Chip& chip_;
    std::array<Pin, kGpioCount> pins_{};
    std::array<Drive, kGpioCount> world_{};
    std::array<PinDriver*, 32> drivers_{};
    std::uint32_t out_ = 0;
    std::uint32_t oe_ = 0;
    std::uint32_t levels_ = 0; // settled level of every pin as last resolved
    std::uint32_t inputs_ = 0; // after the input buffers
    std::uint32_t toggling_ = 0;
    std::array<std::uint8_t, kGpioCount> edges_{}; // raw edge latches
    std::array<std::array<std::uint8_t, kGpioCount>, 2> enables_{};
    std::array<bool, 2> lines_{};
    std::vector<ListenerEntry> listeners_;
    int nextListener_ = 1;
    bool updating_ = false;
    bool again_ = false;
};

} // namespace sim
