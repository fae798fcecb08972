// What one kind of board is, in one place: the image it runs, each pin by
// its role, the converters on SPI0 and how they are wired, and the heap the
// image leaves to the allocator. The board, its probes, the bench, the tools
// and the tests read it; the firmware keeps its own pin tables, which a test
// holds against this one.
#pragma once

#include "world/dac.h"
#include "world/thermocouple_bank.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// The hardware around the chip, by image.
enum class BoardKind { Valdor, Quillet, Brennic, Bare };

// What a pin is on the board.
enum class PinUse {
    DigitalOut,    // output channel `index` (bit `index` of 0x50/0x51), low at start
    DigitalIn,     // input `index` (bit `index` of 0x12): a contact to ground, pulled up
    ChangeLine,    // the input-change line to the host, active low
    Led,           // the onboard LED
    AnalogIn,      // analog input `index`: the voltage `carries` names
    SlotCoding,    // the backplane's slot coding voltage
    SpiSck,        // SPI0 clock to the converters
    SpiMosi,       // SPI0 data to the converters
    SpiMiso,       // SPI0 data from the converters
    DacSelect,     // the DAC's chip select, active low
    SelectAddress, // address bit `index` of the converter-select demultiplexer
    SelectEnable,  // the demultiplexer's enable (high: one converter selected)
    UartTx,        // the console, UART0
    UartRx,
    BusSda, // the host link: I2C0 on the backplane's lines
    BusScl,
};

struct PinDescription {
    const char* name; // what probes and boardsim call it: dout0, din2, cs_enable, ...
    unsigned gpio;
    PinUse use;
    unsigned index = 0;
    const char* carries = "";
};

// The chip's ADC input of an analog pin: inputs 0..3 are GPIO26..29.
constexpr unsigned kFirstAdcGpio = 26;
constexpr unsigned adcInputOf(const PinDescription& pin) {
    return pin.gpio - kFirstAdcGpio;
}

// A status LED that a PWM fades on a pin that is otherwise an output.
struct FadedLed {
    const char* name;
    unsigned gpio;
};

// A constant array seen through its first element and its length.
template <typename T>
class Table {
public:
    constexpr Table() = default;
    template <std::size_t N>
    constexpr Table(const T (&items)[N]) : first_(items), size_(N) {}
    constexpr const T* begin() const { return first_; }
    constexpr const T* end() const { return first_ + size_; }
    constexpr std::size_t size() const { return size_; }
    constexpr const T& operator[](std::size_t i) const { return first_[i]; }

private:
    const T* first_ = nullptr;
    std::size_t size_ = 0;
};

// What sits on SPI0.
enum class Converter { None, Dac, Thermocouples };

struct BoardDescription {
    BoardKind kind;
    const char* image; // the image built for this board; empty for a bare board
    // What the image leaves to the C library's allocator (see the .cpp).
    std::size_t heapBytes;
    Table<PinDescription> pins;
    Table<FadedLed> faded;
    Converter converter;
    // Thermocouples: the demultiplexer address of channel k at index k - 1.
    std::array<std::uint8_t, ThermocoupleBank::kChannels> channelAddress;

    // The pin of that name, or null.
    const PinDescription* pin(const std::string& name) const;
    // The pin with that use and index, or null.
    const PinDescription* find(PinUse use, unsigned index = 0) const;
    // Its GPIO; throws std::logic_error when the board has no such pin.
    unsigned gpio(PinUse use, unsigned index = 0) const;
    // The GPIOs of every pin with that use, by index.
    std::vector<unsigned> gpios(PinUse use) const;
    // Whether the image runs the I2C slave on the backplane's lines.
    bool hostLink() const { return find(PinUse::BusSda) != nullptr; }

    // The wiring of the converters; throws std::logic_error on a board
    // without them.
    Dac::Wiring dacWiring() const;
    ThermocoupleBank::Wiring thermocoupleWiring() const;
};

// The backplane's I2C lines reach every board on these GPIOs, whether or
// not its image uses them as the host link.
constexpr unsigned kBackplaneSda = 20;
constexpr unsigned kBackplaneScl = 21;

const BoardDescription& boardDescription(BoardKind kind);
// By image name; a bare board for any name that is not an image's.
const BoardDescription& boardDescriptionOf(const std::string& image);
// Every kind that runs an image: valdor, quillet, brennic.
std::vector<const BoardDescription*> imageBoards();

} // namespace sim
