// The firmware's own pin tables held against its board's description, field
// by field, so that neither drifts from the other. Built once per image: the
// tables come from that image's headers and select-line source, compiled as
// the image compiles them. (The pins the firmware keeps inside its sources
// are checked from outside, on the started image: images/board_pins_test.)
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "board_image.h"
#include "world/board_description.h"

#if defined(PINS_OF_VALDOR)
#include "boards/valdor/output_map.h"
#else
#include "boards/quillet/demux.h"
#endif
#if defined(PINS_OF_QUILLET)
#include "pin_maps.h"
#endif

namespace {

using sim::PinUse;

struct Field {
    std::string what;
    long firmware;
    long description;
};

#if defined(PINS_OF_VALDOR)
constexpr const char* kImage = "valdor";
#elif defined(PINS_OF_QUILLET)
constexpr const char* kImage = "quillet";
#else
constexpr const char* kImage = "brennic";
#endif

// -1 where the description has no such pin.
long described(const sim::BoardDescription& d, PinUse use, unsigned index = 0) {
    const sim::PinDescription* p = d.find(use, index);
    return p ? static_cast<long>(p->gpio) : -1;
}

template <typename Map>
void addMap(std::vector<Field>& fields, const sim::BoardDescription& d, const char* name,
            const Map& map, PinUse use) {
    fields.push_back({std::string(name) + " length", static_cast<long>(std::size(map)),
                      static_cast<long>(d.gpios(use).size())});
    for (unsigned k = 0; k < std::size(map); ++k)
        fields.push_back(
            {std::string(name) + "[" + std::to_string(k) + "]", map[k], described(d, use, k)});
}

std::vector<Field> fieldsOf(const sim::BoardDescription& d) {
    std::vector<Field> f;
    f.push_back(
        {"HAS_INPUT_CHANGE_PIN", HAS_INPUT_CHANGE_PIN ? 1 : 0, d.find(PinUse::ChangeLine) ? 1 : 0});
    if (HAS_INPUT_CHANGE_PIN)
        f.push_back({"INPUT_CHANGE_PIN", INPUT_CHANGE_PIN, described(d, PinUse::ChangeLine)});
#if defined(PINS_OF_VALDOR)
    addMap(f, d, "DIN_MAP", DIN_MAP, PinUse::DigitalIn);
    f.push_back({"DOUT_COUNT", static_cast<long>(DOUT_COUNT),
                 static_cast<long>(d.gpios(PinUse::DigitalOut).size())});
    for (unsigned i = 0; i < 16; ++i) {
        const long pin = described(d, PinUse::DigitalOut, i);
        f.push_back({"valdorOutputImage(bit " + std::to_string(i) + ")",
                     static_cast<long>(valdorOutputImage(static_cast<uint16_t>(1u << i))),
                     pin < 0 ? 0 : 1l << pin});
    }
#else
#if defined(PINS_OF_QUILLET)
    addMap(f, d, "DOUT_MAP", DOUT_MAP, PinUse::DigitalOut);
    addMap(f, d, "DIN_MAP", DIN_MAP, PinUse::DigitalIn);
#endif
    const sim::ThermocoupleBank::Wiring w = d.thermocoupleWiring();
    const long enable = 1l << w.enable;
    f.push_back({"Demux::LINES", static_cast<long>(Demux::LINES),
                 enable | 1l << w.address[0] | 1l << w.address[1] | 1l << w.address[2]});
    for (unsigned k = 1; k <= sim::ThermocoupleBank::kChannels; ++k) {
        long lines = enable;
        for (unsigned bit = 0; bit < 3; ++bit) {
            if ((w.channelAddress[k - 1] >> bit) & 1u)
                lines |= 1l << w.address[bit];
        }
        f.push_back({"Demux::pattern(" + std::to_string(k) + ")",
                     static_cast<long>(Demux::pattern(static_cast<unsigned char>(k))), lines});
    }
#endif
    return f;
}

TEST(FirmwarePins, EveryTableOfTheImageIsItsBoardsDescription) {
    const sim::BoardDescription& d = sim::boardDescriptionOf(kImage);
    ASSERT_STREQ(d.image, kImage);
    for (const Field& field : fieldsOf(d))
        EXPECT_EQ(field.firmware, field.description) << kImage << " " << field.what;
}

} // namespace
