// UART0, an ARM PL011, as the console of images that print through it (TX on
// GPIO0, RX on GPIO1). The baud rate comes from clk_peri (125 MHz) through
// the divisor IBRD + FBRD/64, taken when LCR_H is written as on the PL011:
// one bit lasts 16 x divisor clk_peri periods, 2 x (64 x IBRD + FBRD) ns.
//
// A character occupies the line for a start bit, 5 to 8 data bits (least
// significant first), an optional parity bit and one or two stop bits. The
// transmit FIFO holds 32 characters (1 with LCR_H.FEN clear); the next one
// starts as soon as the last stop bit ends. The TX pin carries the bits as
// timed level changes and idles high (LCR_H.BRK holds it low). Each character
// goes to the chip's console as its last stop bit ends, so a console line
// carries the time its newline finished.
//
// Receiving: receive() puts a character into the receive FIFO at once (32
// deep, or 1); a full FIFO loses it with an overrun (RSR.OE, OEINTR). The
// interrupts RX and TX follow the FIFO trigger levels of IFLS: TX rises as
// the transmit FIFO drains to its level (not at reset), RX as the receive
// FIFO fills to its level; the receive timeout rises when characters sit for
// 32 bit periods after the last one arrived. All combine on UART0_IRQ. Line
// errors (framing, parity, break) never happen here. Stored only: IrDA,
// the modem lines and hardware flow control (CTS reads 0), DMA enables.
#pragma once

#include "chip/gpio.h"
#include "chip/register_block.h"
#include "chip/register_map.h"
#include "engine/event_queue.h"
#include "engine/time.h"

#include <cstdint>
#include <deque>

namespace sim {

class BlockHost;
class Console;

class Uart : public PinDriver, public RegisterBlock {
public:
    static constexpr unsigned kUart0Irq = 20;
    static constexpr unsigned kFifoDepth = 32;

    // Register offsets.
    static constexpr std::uint32_t kDr = 0x00;
    static constexpr std::uint32_t kRsr = 0x04;
    static constexpr std::uint32_t kFr = 0x18;
    static constexpr std::uint32_t kIlpr = 0x20;
    static constexpr std::uint32_t kIbrd = 0x24;
    static constexpr std::uint32_t kFbrd = 0x28;
    static constexpr std::uint32_t kLcrH = 0x2c;
    static constexpr std::uint32_t kCr = 0x30;
    static constexpr std::uint32_t kIfls = 0x34;
    static constexpr std::uint32_t kImsc = 0x38;
    static constexpr std::uint32_t kRis = 0x3c;
    static constexpr std::uint32_t kMis = 0x40;
    static constexpr std::uint32_t kIcr = 0x44;
    static constexpr std::uint32_t kDmaCr = 0x48;
    static constexpr std::uint32_t kPeriphId0 = 0xfe0;
    // UARTFR bits.
    static constexpr std::uint32_t kFrCts = 1u << 0;
    static constexpr std::uint32_t kFrBusy = 1u << 3;
    static constexpr std::uint32_t kFrRxfe = 1u << 4;
    static constexpr std::uint32_t kFrTxff = 1u << 5;
    static constexpr std::uint32_t kFrRxff = 1u << 6;
    static constexpr std::uint32_t kFrTxfe = 1u << 7;
    // UARTLCR_H bits.
    static constexpr std::uint32_t kLcrBrk = 1u << 0;
    static constexpr std::uint32_t kLcrPen = 1u << 1;
    static constexpr std::uint32_t kLcrEps = 1u << 2;
    static constexpr std::uint32_t kLcrStp2 = 1u << 3;
    static constexpr std::uint32_t kLcrFen = 1u << 4;
    static constexpr unsigned kLcrWlenShift = 5;
    static constexpr std::uint32_t kLcrSps = 1u << 7;
    // UARTCR bits.
    static constexpr std::uint32_t kCrUarten = 1u << 0;
    static constexpr std::uint32_t kCrLbe = 1u << 7;
    static constexpr std::uint32_t kCrTxe = 1u << 8;
    static constexpr std::uint32_t kCrRxe = 1u << 9;
    // Interrupt bits (UARTIMSC, UARTRIS, UARTMIS, UARTICR).
    static constexpr std::uint32_t kIntRx = 1u << 4;
    static constexpr std::uint32_t kIntTx = 1u << 5;
    static constexpr std::uint32_t kIntRt = 1u << 6;
    static constexpr std::uint32_t kIntOe = 1u << 10;
    // UARTRSR: overrun.
    static constexpr std::uint32_t kRsrOe = 1u << 3;

    // Every register with its reset value and writable bits.
    static const RegisterMap& registers();

    Uart(BlockHost& host, Gpio& gpio, Console& console);
    ~Uart() override;

    void reset();

    // One bit on the line at the divisor taken at the last LCR_H write (0
    // while none is set: nothing is sent).
    Time bitTime() const { return bitTime_; }
    // Start, data, parity and stop bits of one character.
    unsigned characterBits() const;
    std::size_t txLevel() const { return tx_.size(); }
    std::size_t rxLevel() const { return rx_.size(); }
    // A character arriving on RX, received at once.
    void receive(std::uint8_t byte);
    // When the character on the line ends its last stop bit (kNever when
    // none is being sent), and a catch-up of that end for code polling the
    // flags at that very moment, before the bit event ran.
    Time characterEnd() const { return shifting_ ? characterEnd_ : kNever; }
    void catchUp();

    // The TX pins of UART0 (GPIO0, 12, 16, 28) carry the line.
    Drive drive(unsigned pin) const override;

    // RegisterBlock. Reading DR pops the receive FIFO; writing it pushes the
    // transmit FIFO (a character written to a full FIFO is lost).
    std::uint32_t read(std::uint32_t offset) override;
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;

private:
    bool fifosEnabled() const { return (lcrH_ & kLcrFen) != 0; }
    std::size_t depth() const { return fifosEnabled() ? kFifoDepth : 1; }
    std::size_t txTrigger() const;
    std::size_t rxTrigger() const;
    bool canStart() const;
    void startCharacter();
    void nextBit();
    void endCharacter();
    bool bitLevel(unsigned bit) const;
    void setLine(bool level);
    void pushTx(std::uint8_t byte);
    std::uint32_t popRx();
    std::uint32_t rawInterrupts() const { return ris_; }
    void updateIrq();

    BlockHost& host_;
    Gpio& gpio_;
    Console& console_;
    std::uint32_t ilpr_ = 0;
    std::uint32_t ibrd_ = 0;
    std::uint32_t fbrd_ = 0;
    std::uint32_t lcrH_ = 0;
    std::uint32_t cr_ = kCrTxe | kCrRxe;
    std::uint32_t ifls_ = 0x12;
    std::uint32_t imsc_ = 0;
    std::uint32_t ris_ = 0;
    std::uint32_t rsr_ = 0;
    std::uint32_t dmacr_ = 0;
    Time bitTime_ = 0;

    std::deque<std::uint8_t> tx_;
    std::deque<std::uint8_t> rx_;
    bool shifting_ = false;
    std::uint8_t shifter_ = 0;
    std::uint32_t format_ = 0; // LCR_H of the character being sent
    Time characterBitTime_ = 0;
    Time characterEnd_ = 0;
    unsigned bit_ = 0; // 0 is the start bit
    bool line_ = true;
    CallbackEvent bitEvent_;
    CallbackEvent timeoutEvent_;
};

} // namespace sim
