// The 12-bit successive-approximation ADC: inputs 0..3 on GPIO26..29, input 4
// the temperature sensor. One conversion takes 96 cycles of the 48 MHz ADC
// clock, 2 us. The value comes from the world's source for the input,
// sampled as the conversion starts; RESULT and READY follow as it ends, and
// the round-robin mask then moves AINSEL on to the next input in it.
//
// Registers: CS (EN, TS_EN, START_ONCE, START_MANY, READY, ERR, ERR_STICKY,
// AINSEL, RROBIN), RESULT, FCS, FIFO (reading pops), DIV, INTR, INTE, INTF,
// INTS. START_MANY converts again and again, back to back, or one conversion
// per DIV period (1 + INT + FRAC/256 ADC clocks) when that is longer. With
// FCS.EN each result also enters the four-entry FIFO (shifted to 8 bits with
// FCS.SHIFT); a result that finds it full is lost and sets FCS.OVER. The FIFO
// interrupt (ADC_IRQ_FIFO) is raised while the FIFO holds at least THRESH
// results, and at least one. Conversions never fail here: ERR stays 0. DREQ_EN
// is stored only.
//
// The pad stays on the pin while the ADC converts it. Prepared as
// adc_gpio_init leaves it (function NULL, pulls and input off) it takes
// nothing from the source. Otherwise, as simply modelled here: a pad output
// driving the pin puts its rail there; each enabled pull is 50 kOhm to its
// rail, and an enabled digital input leaks 1 uA (the pads' largest input
// leakage) to ground, both against the source. The world's sources give no
// impedance, so each is taken as 10 kOhm behind its voltage.
#pragma once

#include "chip/devices.h"
#include "chip/register_block.h"
#include "chip/register_map.h"
#include "engine/event_queue.h"
#include "engine/time.h"

#include <cstdint>
#include <deque>
#include <optional>

namespace sim {

class BlockHost;
class Gpio;

class Adc : public RegisterBlock {
public:
    static constexpr Time kConversionTime = microseconds(2);
    static constexpr unsigned kInputs = 5;
    static constexpr unsigned kFirstPin = 26;
    static constexpr std::uint16_t kFullScale = 4095;
    // The temperature sensor at about 27 degrees: 0.706 V of 3.3 V.
    static constexpr std::uint16_t kTemperatureReading = 876;
    static constexpr unsigned kFifoDepth = 4;
    static constexpr unsigned kAdcIrqFifo = 22;
    static constexpr double kSourceOhms = 10e3;
    static constexpr double kPullOhms = 50e3;
    static constexpr double kInputLeakAmps = 1e-6;

    // Register offsets.
    static constexpr std::uint32_t kCs = 0x00;
    static constexpr std::uint32_t kResult = 0x04;
    static constexpr std::uint32_t kFcs = 0x08;
    static constexpr std::uint32_t kFifo = 0x0c;
    static constexpr std::uint32_t kDiv = 0x10;
    static constexpr std::uint32_t kIntr = 0x14;
    static constexpr std::uint32_t kInte = 0x18;
    static constexpr std::uint32_t kIntf = 0x1c;
    static constexpr std::uint32_t kInts = 0x20;
    // CS bits.
    static constexpr std::uint32_t kCsEn = 1u << 0;
    static constexpr std::uint32_t kCsTsEn = 1u << 1;
    static constexpr std::uint32_t kCsStartOnce = 1u << 2;
    static constexpr std::uint32_t kCsStartMany = 1u << 3;
    static constexpr std::uint32_t kCsReady = 1u << 8;
    static constexpr std::uint32_t kCsErrSticky = 1u << 10;
    static constexpr unsigned kCsAinselShift = 12;
    static constexpr unsigned kCsRrobinShift = 16;
    // FCS bits.
    static constexpr std::uint32_t kFcsEn = 1u << 0;
    static constexpr std::uint32_t kFcsShift = 1u << 1;
    static constexpr std::uint32_t kFcsErr = 1u << 2;
    static constexpr std::uint32_t kFcsDreqEn = 1u << 3;
    static constexpr std::uint32_t kFcsEmpty = 1u << 8;
    static constexpr std::uint32_t kFcsFull = 1u << 9;
    static constexpr std::uint32_t kFcsUnder = 1u << 10;
    static constexpr std::uint32_t kFcsOver = 1u << 11;
    static constexpr unsigned kFcsLevelShift = 16;
    static constexpr unsigned kFcsThreshShift = 24;

    // Every register with its reset value and writable bits.
    static const RegisterMap& registers();

    Adc(BlockHost& host, Gpio& gpio);
    ~Adc() override;

    void reset();
    bool enabled() const { return (cs_ & kCsEn) != 0; }
    unsigned selected() const { return (cs_ >> kCsAinselShift) & 7u; }
    // When the conversion running now ends (READY rises); nothing while
    // READY is set. (With a round-robin mask in CS, each conversion moves
    // the selection on to the next input in the mask.)
    std::optional<Time> conversionEndsAt() const {
        return converting_ ? std::optional<Time>(ends_) : std::nullopt;
    }
    unsigned conversions() const { return conversions_; }
    bool converting() const { return converting_; }

    void connect(AdcSource* source) { source_ = source; }
    AdcSource* source() const { return source_; }

    // RegisterBlock. Reading FIFO pops it.
    std::uint32_t read(std::uint32_t offset) override;
    std::uint32_t peek(std::uint32_t offset) const override;
    void write(std::uint32_t offset, std::uint32_t value) override;
    // FCS's sticky underflow and overflow flags.
    std::uint32_t writeClearBits(std::uint32_t offset) const override {
        return registers().clearBits(offset);
    }

private:
    std::uint16_t sample(unsigned input);
    // What the pad does to a source's reading.
    std::uint16_t throughPad(unsigned pin, std::uint16_t raw) const;
    void setAinsel(unsigned input);
    void startConversion();
    void endConversion();
    // A conversion whose end has come but whose event has not yet fired.
    void catchUp();
    Time pacing() const;
    std::uint32_t rawInterrupts() const;
    void updateIrq();

    BlockHost& host_;
    Gpio& gpio_;
    AdcSource* source_ = nullptr;
    std::uint32_t cs_ = 0;  // EN, TS_EN, START_MANY, AINSEL, RROBIN
    std::uint32_t fcs_ = 0; // EN, SHIFT, ERR, DREQ_EN, UNDER, OVER, THRESH
    std::uint32_t div_ = 0;
    std::uint32_t inte_ = 0;
    std::uint32_t intf_ = 0;
    std::uint16_t result_ = 0;
    std::deque<std::uint16_t> fifo_;
    bool converting_ = false;
    std::uint16_t sampled_ = 0;
    Time started_ = 0;
    Time ends_ = 0;
    CallbackEvent endEvent_;
    CallbackEvent nextEvent_; // the next START_MANY conversion
    unsigned conversions_ = 0;
};

} // namespace sim
