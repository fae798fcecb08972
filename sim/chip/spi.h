// SPI0, an ARM PL022 synchronous serial port, as a master, reached through
// its registers. The block runs from clk_peri (125 MHz) through an even
// prescaler (SSPCPSR) and a post-divider (SSPCR0.SCR + 1).
//
// Eight-word transmit and receive FIFOs. While the block is enabled, a word
// in the transmit FIFO starts a frame; a frame lasts `bits` clock periods and
// the next one follows at once while words wait (the devices use GPIO chip
// selects, so the PL022's select pulse between frames is not modelled). The
// devices are clocked as the frame starts, and their answer enters the
// receive FIFO as it ends (lost, with the overrun interrupt, when the FIFO is
// full). Interrupts: RX (four or more words received), TX (four or fewer
// waiting to go), receive timeout (words left unread for 32 bit periods) and
// overrun, combined on SPI0_IRQ. Loopback mode receives what is sent.
// Stored only: the frame format (Motorola, TI, Microwire frames all shift as
// Motorola frames), slave mode, slave output disable and DMA enables.
//
// The PL022 shifts the most significant bit first; it has no LSB-first mode.
// Devices hang on the chip's pins: a device hears the clock only on a pin
// whose function select is SPI, and its select lines are ordinary GPIOs it
// reads from the pins.
#pragma once

#include "chip/devices.h"
#include "chip/gpio.h"
#include "chip/register_block.h"
#include "chip/register_map.h"
#include "engine/event_queue.h"
#include "engine/time.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class BlockHost;

class Spi : public PinDriver, public RegisterBlock {
public:
    static constexpr std::uint32_t kPeripheralClockHz = 125000000;
    static constexpr Time kPeripheralClockPeriod = 8; // ns
    static constexpr unsigned kFifoDepth = 8;
    static constexpr unsigned kSpi0Irq = 18;

    // Register offsets.
    static constexpr std::uint32_t kCr0 = 0x00;
    static constexpr std::uint32_t kCr1 = 0x04;
    static constexpr std::uint32_t kDr = 0x08;
    static constexpr std::uint32_t kSr = 0x0c;
    static constexpr std::uint32_t kCpsr = 0x10;
    static constexpr std::uint32_t kImsc = 0x14;
    static constexpr std::uint32_t kRis = 0x18;
    static constexpr std::uint32_t kMis = 0x1c;
    static constexpr std::uint32_t kIcr = 0x20;
    static constexpr std::uint32_t kDmaCr = 0x24;
    static constexpr std::uint32_t kPeriphId0 = 0xfe0;
    // SSPCR0 and SSPCR1 bits.
    static constexpr std::uint32_t kCr0Spo = 1u << 6;
    static constexpr std::uint32_t kCr0Sph = 1u << 7;
    static constexpr unsigned kCr0ScrShift = 8;
    static constexpr std::uint32_t kCr1Lbm = 1u << 0;
    static constexpr std::uint32_t kCr1Sse = 1u << 1;
    static constexpr std::uint32_t kCr1Ms = 1u << 2;
    static constexpr std::uint32_t kCr1Sod = 1u << 3;
    // SSPSR bits.
    static constexpr std::uint32_t kSrTfe = 1u << 0;
    static constexpr std::uint32_t kSrTnf = 1u << 1;
    static constexpr std::uint32_t kSrRne = 1u << 2;
    static constexpr std::uint32_t kSrRff = 1u << 3;
    static constexpr std::uint32_t kSrBsy = 1u << 4;
    // Interrupt bits (SSPIMSC, SSPRIS, SSPMIS, SSPICR).
    static constexpr std::uint32_t kIntRor = 1u << 0;
    static constexpr std::uint32_t kIntRt = 1u << 1;
    static constexpr std::uint32_t kIntRx = 1u << 2;
    static constexpr std::uint32_t kIntTx = 1u << 3;

    // Every register with its reset value and writable bits.
    static const RegisterMap& registers();

    Spi(BlockHost& host, Gpio& gpio);
    ~Spi() override;

    void reset();

    // --- what the registers hold, as a probe sees it -----------------------------
    bool enabled() const { return (cr1_ & kCr1Sse) != 0; }
    unsigned dataBits() const;
    bool cpol() const { return (cr0_ & kCr0Spo) != 0; }
    bool cpha() const { return (cr0_ & kCr0Sph) != 0; }
    Time clockPeriod() const {
        return Time{cpsr_} * ((cr0_ >> kCr0ScrShift) + 1) * kPeripheralClockPeriod;
    }
    Time frameTime() const { return clockPeriod() * dataBits(); }

    // When the frame on the wire ends; nothing while the block is idle. A core
    // polling SSPSR sees nothing change before then.
    std::optional<Time> frameEndsAt() const {
        return inFrame_ ? std::optional<Time>(frameEnd_) : std::nullopt;
    }
    unsigned framesSent() const { return frames_; }
    bool busy() const { return inFrame_ || !tx_.empty(); }
    std::size_t txLevel() const { return tx_.size(); }
    std::size_t rxLevel() const { return rx_.size(); }

    // --- RegisterBlock ------------------------------------------------------------
    // Reading SSPDR pops the receive FIFO; writing it pushes the transmit FIFO
    // (a word written to a full FIFO is lost).
    std::uint32_t read(std::uint32_t offset) override;
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

    // --- devices on the pins ----------------------------------------------------
    void attach(SpiDevice& device, SpiWiring wiring);
    void detach(SpiDevice& device);

    // The pads of the SPI0 pins: SCK idles at the clock polarity, TX low, the
    // hardware chip select high; RX is an input.
    Drive drive(unsigned pin) const override;

private:
    enum class Role { None, Rx, Csn, Sck, Tx };
    static Role role(unsigned pin);
    std::uint16_t mask() const;
    std::uint16_t shift(std::uint16_t tx, Time start, Time end);
    bool canStart() const;
    void startFrame();
    void endFrame();
    // Frames whose end has come but whose event has not yet fired.
    void catchUp();
    void pushTx(std::uint16_t word);
    std::uint16_t popRx();
    std::uint32_t rawInterrupts() const;
    void updateIrq();
    void receiveTimeout();

    struct Attached {
        SpiDevice* device;
        SpiWiring wiring;
    };

    BlockHost& host_;
    Gpio& gpio_;
    std::uint32_t cr0_ = 0;
    std::uint32_t cr1_ = 0;
    std::uint32_t cpsr_ = 0;
    std::uint32_t imsc_ = 0;
    std::uint32_t dmacr_ = 0;
    bool overrun_ = false;
    bool timedOut_ = false;
    std::deque<std::uint16_t> tx_;
    std::deque<std::uint16_t> rx_;
    bool inFrame_ = false;
    Time frameEnd_ = 0;
    std::uint16_t frameRx_ = 0;
    CallbackEvent frameEvent_;
    CallbackEvent timeoutEvent_;
    unsigned frames_ = 0;
    std::vector<Attached> devices_;
};

} // namespace sim
