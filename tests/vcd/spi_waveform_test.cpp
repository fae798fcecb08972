// One SPI frame's wires in each mode: the clock idles at its polarity and
// pulses once a bit at the frame's period; data changes where the receiver
// does not sample it.
#include "world/spi_waveform.h"

#include <gtest/gtest.h>

#include <vector>

namespace sim {
namespace {

using W = SpiWire;

TEST(SpiWaveform, FourBitFrameInEveryMode) {
    // 4 bits from 1000 ns to 1400 ns: 100 ns a bit; MOSI 1010, MISO 0110.
    struct Case {
        bool cpol, cpha;
        std::vector<SpiEdge> edges;
    };
    const std::vector<Case> cases = {
        {false,
         false,
         {{1000, W::Mosi, 1},
          {1000, W::Miso, 0},
          {1050, W::Sck, 1},
          {1100, W::Sck, 0},
          {1100, W::Mosi, 0},
          {1100, W::Miso, 1},
          {1150, W::Sck, 1},
          {1200, W::Sck, 0},
          {1200, W::Mosi, 1},
          {1200, W::Miso, 1},
          {1250, W::Sck, 1},
          {1300, W::Sck, 0},
          {1300, W::Mosi, 0},
          {1300, W::Miso, 0},
          {1350, W::Sck, 1},
          {1400, W::Sck, 0}}},
        {true,
         false,
         {{1000, W::Mosi, 1},
          {1000, W::Miso, 0},
          {1050, W::Sck, 0},
          {1100, W::Sck, 1},
          {1100, W::Mosi, 0},
          {1100, W::Miso, 1},
          {1150, W::Sck, 0},
          {1200, W::Sck, 1},
          {1200, W::Mosi, 1},
          {1200, W::Miso, 1},
          {1250, W::Sck, 0},
          {1300, W::Sck, 1},
          {1300, W::Mosi, 0},
          {1300, W::Miso, 0},
          {1350, W::Sck, 0},
          {1400, W::Sck, 1}}},
        {false,
         true,
         {{1000, W::Mosi, 1},
          {1000, W::Miso, 0},
          {1000, W::Sck, 1},
          {1050, W::Sck, 0},
          {1100, W::Mosi, 0},
          {1100, W::Miso, 1},
          {1100, W::Sck, 1},
          {1150, W::Sck, 0},
          {1200, W::Mosi, 1},
          {1200, W::Miso, 1},
          {1200, W::Sck, 1},
          {1250, W::Sck, 0},
          {1300, W::Mosi, 0},
          {1300, W::Miso, 0},
          {1300, W::Sck, 1},
          {1350, W::Sck, 0}}},
        {true,
         true,
         {{1000, W::Mosi, 1},
          {1000, W::Miso, 0},
          {1000, W::Sck, 0},
          {1050, W::Sck, 1},
          {1100, W::Mosi, 0},
          {1100, W::Miso, 1},
          {1100, W::Sck, 0},
          {1150, W::Sck, 1},
          {1200, W::Mosi, 1},
          {1200, W::Miso, 1},
          {1200, W::Sck, 0},
          {1250, W::Sck, 1},
          {1300, W::Mosi, 0},
          {1300, W::Miso, 0},
          {1300, W::Sck, 0},
          {1350, W::Sck, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cpol " << c.cpol << " cpha " << c.cpha);
        SpiFrame f{1000, 1400, 4, c.cpol, c.cpha, true, 0xA};
        EXPECT_EQ(spiEdges(f, 0x6), c.edges);
    }
}

TEST(SpiWaveform, SixteenBitFrameAtTheBlocksPeriod) {
    // 100 kHz asked of the block gives 8192 ns a bit.
    SpiFrame f{0, 16 * 8192, 16, false, false, true, 0x8001};
    std::vector<SpiEdge> edges = spiEdges(f, 0xFFFF);
    std::vector<Time> rises;
    for (const SpiEdge& e : edges) {
        if (e.wire == W::Sck && e.level)
            rises.push_back(e.at);
    }
    ASSERT_EQ(rises.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(rises[i], 4096 + i * 8192) << i;
    EXPECT_EQ(edges.back(), (SpiEdge{16 * 8192, W::Sck, false}));
}

TEST(SpiWaveform, EmptyFrameDrawsNothing) {
    EXPECT_TRUE(spiEdges(SpiFrame{5, 5, 16, false, false, true, 0}, 0).empty());
    EXPECT_TRUE(spiEdges(SpiFrame{5, 100, 0, false, false, true, 0}, 0).empty());
}

} // namespace
} // namespace sim
