// The 30 user GPIOs of the RP2040: the single-cycle I/O block (SIO) with its
// output and output-enable registers, IO bank 0 with the function select and
// the interrupt logic of every pin, and the pads with their pulls and input
// buffers. The world outside the chip drives pins through drive().
//
// IO bank 0 and the pads are register blocks (ioBank(), pads()). Modelled:
// FUNCSEL, the output, output-enable, input and interrupt overrides of
// GPIOn_CTRL, GPIOn_STATUS as far as the pin's state tells it, the raw
// interrupt latches (INTR, write 1 to clear an edge) with the enables, forces
// and status of both processors and of dormant wake; the pads' pulls, input
// enable and output disable. Stored only: slew, Schmitt trigger, drive
// strength, the bank voltage and the SWCLK/SWD pads.
#pragma once

#include "chip/devices.h"
#include "chip/pin_functions.h"
#include "chip/register_block.h"
#include "chip/register_map.h"
#include "engine/time.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

class BlockHost;

constexpr unsigned kGpioCount = 30;

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

class Gpio final : public PinFunctions {
public:
    // GPIOn_CTRL overrides (two bits each) and pad bits.
    static constexpr unsigned kOutOverShift = 8;
    static constexpr unsigned kOeOverShift = 12;
    static constexpr unsigned kInOverShift = 16;
    static constexpr unsigned kIrqOverShift = 28;
    static constexpr std::uint32_t kCtrlMask = 0x3003331f;
    static constexpr std::uint8_t kPadSlewFast = 1u << 0;
    static constexpr std::uint8_t kPadSchmitt = 1u << 1;
    static constexpr std::uint8_t kPadPullDown = 1u << 2;
    static constexpr std::uint8_t kPadPullUp = 1u << 3;
    static constexpr std::uint8_t kPadDrive4mA = 1u << 4;
    static constexpr std::uint8_t kPadInputEnable = 1u << 6;
    static constexpr std::uint8_t kPadOutputDisable = 1u << 7;
    static constexpr std::uint8_t kPadReset =
        kPadInputEnable | kPadDrive4mA | kPadPullDown | kPadSchmitt;
    // GPIOn_STATUS bits.
    static constexpr std::uint32_t kStatusOutFromPeri = 1u << 8;
    static constexpr std::uint32_t kStatusOutToPad = 1u << 9;
    static constexpr std::uint32_t kStatusOeFromPeri = 1u << 12;
    static constexpr std::uint32_t kStatusOeToPad = 1u << 13;
    static constexpr std::uint32_t kStatusInFromPad = 1u << 17;
    static constexpr std::uint32_t kStatusInToPeri = 1u << 19;
    static constexpr std::uint32_t kStatusIrqFromPad = 1u << 24;
    static constexpr std::uint32_t kStatusIrqToProc = 1u << 26;
    // IO bank 0 offsets.
    static constexpr std::uint32_t kIntr0 = 0x0f0;
    static constexpr std::uint32_t kProc0Inte0 = 0x100;
    static constexpr std::uint32_t kProc1Inte0 = 0x130;
    static constexpr std::uint32_t kDormantWakeInte0 = 0x160;
    static constexpr std::uint32_t kInteToIntf = 0x10;
    static constexpr std::uint32_t kInteToInts = 0x20;
    // Pads offsets.
    static constexpr std::uint32_t kVoltageSelect = 0x00;
    static constexpr std::uint32_t kPadGpio0 = 0x04;
    static constexpr std::uint32_t kPadSwclk = 0x7c;
    static constexpr std::uint32_t kPadSwd = 0x80;
    // SIO offsets of the GPIO registers. Each output word has its plain
    // register and SET, CLR and XOR aliases after it.
    static constexpr std::uint32_t kSioIn = 0x04;
    static constexpr std::uint32_t kSioHiIn = 0x08;
    static constexpr std::uint32_t kSioOut = 0x10;
    static constexpr std::uint32_t kSioOe = 0x20;
    static constexpr std::uint32_t kSioHiOut = 0x30;
    static constexpr std::uint32_t kSioHiOe = 0x40;
    static constexpr std::uint32_t kSioSet = 0x4;
    static constexpr std::uint32_t kSioClr = 0x8;
    static constexpr std::uint32_t kSioXor = 0xc;
    static constexpr std::uint32_t kSioEnd = 0x50;
    // The interrupt targets of the bank: the two processors and dormant wake.
    static constexpr unsigned kDormantWake = 2;

    explicit Gpio(BlockHost& host);
    Gpio(const Gpio&) = delete;
    Gpio& operator=(const Gpio&) = delete;

    // Power-on state: every pin function NULL, pads with pull-down and input
    // enabled, SIO outputs off, no interrupt enabled.
    void reset();

    // --- IO bank 0 and pads as the bus fabric reaches them ----------------------
    RegisterBlock& ioBank() { return ioBank_; }
    RegisterBlock& pads() { return pads_; }
    static const RegisterMap& ioBankRegisters();
    static const RegisterMap& padsRegisters();
    // SIO's GPIO registers (kSioIn..kSioEnd), the same for both cores. The
    // six QSPI pins are stored only: their input reads what SIO drives.
    RegisterBlock& sio() { return sio_; }

    // --- the pins' state as a probe sees it (programming: gpio_access.h) -------
    unsigned function(unsigned pin) const override { return pins_.at(pin).ctrl & 0x1fu; }
    bool pulledUp(unsigned pin) const { return pins_.at(pin).pad & kPadPullUp; }
    bool pulledDown(unsigned pin) const { return pins_.at(pin).pad & kPadPullDown; }
    bool inputEnabled(unsigned pin) const { return pins_.at(pin).pad & kPadInputEnable; }
    std::uint32_t control(unsigned pin) const { return pins_.at(pin).ctrl; }
    std::uint32_t pad(unsigned pin) const { return pins_.at(pin).pad; }
    std::uint32_t status(unsigned pin) const;

    // --- SIO -------------------------------------------------------------------
    std::uint32_t out() const { return out_; }
    std::uint32_t outputEnable() const { return oe_; }
    // GPIO_IN: the input of every pad (0 where the input buffer is off), after
    // the input override.
    std::uint32_t in() const;

    // --- interrupts --------------------------------------------------------------
    // Edge events latch in one raw register shared by both cores; each core
    // has its own enables and forces, and the bank raises IO_IRQ_BANK0
    // towards a core while an event it enabled (or forced) is pending. The
    // events are seen behind the interrupt override. `core` may also be
    // kDormantWake, whose status raises nothing here.
    std::uint32_t irqEnabled(int core, unsigned pin) const;
    std::uint32_t irqForced(int core, unsigned pin) const;
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
    // A view of the pins' state as one block of registers; reads have no
    // side effects.
    class View : public RegisterBlock {
    public:
        explicit View(Gpio& gpio) : gpio_(gpio) {}
        std::uint32_t read(std::uint32_t offset) override { return peek(offset); }

    protected:
        Gpio& gpio_;
    };
    class IoBankRegisters : public View {
    public:
        using View::View;
        std::uint32_t peek(std::uint32_t offset) const override;
        void write(std::uint32_t offset, std::uint32_t value) override;
        // INTR0..3: the edge latches of each pin (its level bits follow the pin).
        std::uint32_t writeClearBits(std::uint32_t offset) const override;
    };
    class PadsRegisters : public View {
    public:
        using View::View;
        std::uint32_t peek(std::uint32_t offset) const override;
        void write(std::uint32_t offset, std::uint32_t value) override;
    };
    class SioRegisters : public View {
    public:
        using View::View;
        std::uint32_t peek(std::uint32_t offset) const override;
        void write(std::uint32_t offset, std::uint32_t value) override;
    };

    struct Pin {
        std::uint32_t ctrl = gpiofn::kNull;
        std::uint8_t pad = kPadReset;
    };
    // The peripheral's output and output enable before the overrides.
    struct PeripheralOutput {
        bool out = false;
        bool oe = false;
    };
    struct ListenerEntry {
        int id;
        std::uint32_t mask;
        Listener fn;
    };

    // What the register views store; each change is seen by pads and
    // interrupt logic at once.
    void writeControl(unsigned pin, std::uint32_t ctrl);
    void writePad(unsigned pin, std::uint32_t pad);
    void writeOut(std::uint32_t value);
    void writeOutputEnable(std::uint32_t value);

    PeripheralOutput peripheralOutput(unsigned pin) const;
    static bool applyOverride(bool value, std::uint32_t ctrl, unsigned shift);
    PinState resolve(unsigned pin) const;
    void update();
    void updateIrqLines();
    // 8 pins of 4 event bits per interrupt register.
    std::uint32_t packed(unsigned reg, std::uint32_t (Gpio::*events)(unsigned) const) const;
    std::uint32_t enabledOf(int target, unsigned pin) const;
    std::uint32_t forcedOf(int target, unsigned pin) const;

    BlockHost& host_;
    std::array<Pin, kGpioCount> pins_{};
    std::array<Drive, kGpioCount> world_{};
    std::array<PinDriver*, 32> drivers_{};
    std::uint32_t out_ = 0;
    std::uint32_t oe_ = 0;
    std::uint32_t levels_ = 0;    // settled level of every pin as last resolved
    std::uint32_t inputs_ = 0;    // after the input buffers
    std::uint32_t irqInputs_ = 0; // after the interrupt override
    std::uint32_t toggling_ = 0;
    std::array<std::uint8_t, kGpioCount> edges_{}; // raw edge latches
    std::array<std::array<std::uint8_t, kGpioCount>, 3> enables_{};
    std::array<std::array<std::uint8_t, kGpioCount>, 3> forces_{};
    std::uint32_t voltageSelect_ = 0;
    std::uint8_t padSwclk_ = 0;
    std::uint8_t padSwd_ = 0;
    IoBankRegisters ioBank_{*this};
    PadsRegisters pads_{*this};
    SioRegisters sio_{*this};
    std::uint32_t hiOut_ = 0;
    std::uint32_t hiOe_ = 0;
    std::array<bool, 2> lines_{};
    std::vector<ListenerEntry> listeners_;
    int nextListener_ = 1;
    bool updating_ = false;
    bool again_ = false;
};

} // namespace sim
