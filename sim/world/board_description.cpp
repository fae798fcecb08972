#include "world/board_description.h"

#include <stdexcept>

namespace sim {

namespace {

using U = PinUse;

// On every board.
constexpr PinDescription kLed{"led", 25, U::Led};
constexpr PinDescription kSlot{"slot", 28, U::SlotCoding};
constexpr PinDescription kSda{"sda", kBackplaneSda, U::BusSda};
constexpr PinDescription kScl{"scl", kBackplaneScl, U::BusScl};

// What each image leaves of the chip's RAM to the C library's allocator, the
// heap of the RTOS (scheme 3): from the end of the image's static data (the
// linker's `end`) to the stack limit (`__StackLimit`, the end of the main
// SRAM, 0x20040000), as the SDK's sbrk allows. Measured from the rp2040
// build's maps (build/rp2040/<image>.elf.map, SDK 1.5.1, Release):
//   valdor   end = 0x2000251c  ->  0x3dae4 = 252644 bytes
//   quillet  end = 0x2000252c  ->  0x3dad4 = 252628 bytes
//   brennic  end = 0x200014dc  ->  0x3eb24 = 256804 bytes
// Measure again when an image's static data grows or shrinks; the real
// binaries' test (elf.ElfSymbols) fails until then.
constexpr std::size_t kValdorHeap = 252644;
constexpr std::size_t kQuilletHeap = 252628;
constexpr std::size_t kBrennicHeap = 256804;
// A bare board's program may have all of the main SRAM.
constexpr std::size_t kBareHeap = 256 * 1024;

// Output channel i on GPIO 11 - i; inputs 0..3 on GPIO15 down to 12. The
// status LEDs share GPIO1 and GPIO0 with outputs 10 and 11.
constexpr PinDescription kValdorPins[] = {
    {"dout0", 11, U::DigitalOut, 0},
    {"dout1", 10, U::DigitalOut, 1},
    {"dout2", 9, U::DigitalOut, 2},
    {"dout3", 8, U::DigitalOut, 3},
    {"dout4", 7, U::DigitalOut, 4},
    {"dout5", 6, U::DigitalOut, 5},
    {"dout6", 5, U::DigitalOut, 6},
    {"dout7", 4, U::DigitalOut, 7},
    {"dout8", 3, U::DigitalOut, 8},
    {"dout9", 2, U::DigitalOut, 9},
    {"dout10", 1, U::DigitalOut, 10},
    {"dout11", 0, U::DigitalOut, 11},
    {"din0", 15, U::DigitalIn, 0},
    {"din1", 14, U::DigitalIn, 1},
    {"din2", 13, U::DigitalIn, 2},
    {"din3", 12, U::DigitalIn, 3},
    {"change_n", 17, U::ChangeLine},
    {"spi_sck", 18, U::SpiSck},
    {"spi_mosi", 19, U::SpiMosi},
    {"dac_cs_n", 22, U::DacSelect},
    {"ain0", 26, U::AnalogIn, 0, "analog input 0 (0x70/0x71)"},
    {"ain1", 27, U::AnalogIn, 1, "analog input 1 (0x72/0x73)"},
    kLed,
    kSlot,
    kSda,
    kScl,
};
constexpr FadedLed kValdorLeds[] = {{"led_startup", 1}, {"led_host_lost", 0}};

constexpr PinDescription kQuilletPins[] = {
    {"dout0", 12, U::DigitalOut, 0},
    {"dout1", 22, U::DigitalOut, 1},
    {"dout2", 11, U::DigitalOut, 2},
    {"dout3", 26, U::DigitalOut, 3},
    {"dout4", 10, U::DigitalOut, 4},
    {"dout5", 27, U::DigitalOut, 5},
    {"dout6", 2, U::DigitalOut, 6},
    {"dout7", 1, U::DigitalOut, 7},
    {"dout8", 0, U::DigitalOut, 8},
    {"din0", 15, U::DigitalIn, 0},
    {"din1", 17, U::DigitalIn, 1},
    {"din2", 14, U::DigitalIn, 2},
    {"din3", 18, U::DigitalIn, 3},
    {"din4", 13, U::DigitalIn, 4},
    {"din5", 19, U::DigitalIn, 5},
    {"change_n", 16, U::ChangeLine},
    {"spi_miso", 4, U::SpiMiso},
    {"spi_sck", 6, U::SpiSck},
    {"cs_a0", 3, U::SelectAddress, 0},
    {"cs_a1", 5, U::SelectAddress, 1},
    {"cs_a2", 7, U::SelectAddress, 2},
    {"cs_enable", 8, U::SelectEnable},
    kLed,
    kSlot,
    kSda,
    kScl,
};

// No host link: GPIO20 and GPIO21, the backplane's lines, carry select
// levels.
constexpr PinDescription kBrennicPins[] = {
    {"spi_miso", 16, U::SpiMiso},
    {"spi_sck", 18, U::SpiSck},
    {"cs_a0", 17, U::SelectAddress, 0},
    {"cs_a1", 20, U::SelectAddress, 1},
    {"cs_a2", 21, U::SelectAddress, 2},
    {"cs_enable", 9, U::SelectEnable},
    {"uart_tx", 0, U::UartTx},
    {"uart_rx", 1, U::UartRx},
    kLed,
    kSlot,
};

constexpr PinDescription kBarePins[] = {kLed, kSlot};

constexpr BoardDescription kDescriptions[] = {
    {BoardKind::Valdor, "valdor", kValdorHeap, kValdorPins, kValdorLeds, Converter::Dac, {}},
    {BoardKind::Quillet,
     "quillet",
     kQuilletHeap,
     kQuilletPins,
     {},
     Converter::Thermocouples,
     {7, 5, 3, 1, 6, 4, 2, 0}},
    {BoardKind::Brennic,
     "brennic",
     kBrennicHeap,
     kBrennicPins,
     {},
     Converter::Thermocouples,
     {0, 1, 2, 3, 4, 5, 6, 7}},
    {BoardKind::Bare, "", kBareHeap, kBarePins, {}, Converter::None, {}},
};

} // namespace

const PinDescription* BoardDescription::pin(const std::string& name) const {
    for (const PinDescription& p : pins) {
        if (name == p.name)
            return &p;
    }
    return nullptr;
}

const PinDescription* BoardDescription::find(PinUse use, unsigned index) const {
    for (const PinDescription& p : pins) {
        if (p.use == use && p.index == index)
            return &p;
    }
    return nullptr;
}

unsigned BoardDescription::gpio(PinUse use, unsigned index) const {
    const PinDescription* p = find(use, index);
    if (!p)
        throw std::logic_error(std::string("board ") + (*image ? image : "bare") +
                               " has no such pin");
    return p->gpio;
}

std::vector<unsigned> BoardDescription::gpios(PinUse use) const {
    std::vector<unsigned> out;
    while (const PinDescription* p = find(use, static_cast<unsigned>(out.size())))
        out.push_back(p->gpio);
    return out;
}

Dac::Wiring BoardDescription::dacWiring() const {
    if (converter != Converter::Dac)
        throw std::logic_error("no DAC on this board");
    return {gpio(U::DacSelect), gpio(U::SpiSck), gpio(U::SpiMosi)};
}

ThermocoupleBank::Wiring BoardDescription::thermocoupleWiring() const {
    if (converter != Converter::Thermocouples)
        throw std::logic_error("no thermocouples on this board");
    return {gpio(U::SpiSck),
            gpio(U::SpiMiso),
            {gpio(U::SelectAddress, 0), gpio(U::SelectAddress, 1), gpio(U::SelectAddress, 2)},
            gpio(U::SelectEnable),
            channelAddress};
}

const BoardDescription& boardDescription(BoardKind kind) {
    for (const BoardDescription& d : kDescriptions) {
        if (d.kind == kind)
            return d;
    }
    return kDescriptions[3];
}

const BoardDescription& boardDescriptionOf(const std::string& image) {
    for (const BoardDescription& d : kDescriptions) {
        if (*d.image && image == d.image)
            return d;
    }
    return boardDescription(BoardKind::Bare);
}

std::vector<const BoardDescription*> imageBoards() {
    std::vector<const BoardDescription*> out;
    for (const BoardDescription& d : kDescriptions) {
        if (*d.image)
            out.push_back(&d);
    }
    return out;
}

} // namespace sim
