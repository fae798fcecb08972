// valdor's two analog inputs (GPIO26 and GPIO27): raw 12-bit readings in
// 0x70/0x71 and 0x72/0x73, input 0 converted before input 1, every 20 ticks.
#include "valdor_bench.h"

#include <memory>
#include <optional>
#include <utility>

namespace valdor_test {
namespace {

// A probe on the analog front end: notes when each input is sampled (at the
// start of its conversion) and passes the board's voltages through.
class SampleLog : public sim::AdcSource {
public:
    SampleLog(sim::Chip& chip, sim::AdcSource& voltages) : chip_(chip), voltages_(voltages) {}
    std::optional<std::uint16_t> sample(unsigned input) override {
        samples.emplace_back(chip_.now(), input);
        return voltages_.sample(input);
    }
    std::vector<std::pair<Time, unsigned>> samples;

private:
    sim::Chip& chip_;
    sim::AdcSource& voltages_;
};

class ValdorAnalog : public ValdorTest {
protected:
    void SetUp() override {
        ValdorTest::SetUp();
        log_ = std::make_unique<SampleLog>(chip(), board_->analog());
        chip().adc.connect(log_.get());
    }
    void TearDown() override { chip().adc.connect(&board_->analog()); }

    std::unique_ptr<SampleLog> log_;
};

TEST_F(ValdorAnalog, InputZeroIsSampledBeforeInputOneEveryTwentyTicks) {
    runUntil(milliseconds(90));
    // The slot coding on input 2 first (at power-on and one tick later).
    std::vector<std::pair<Time, unsigned>> expected = {{0, 2}, {milliseconds(1), 2}};
    // The first cycle as set-up ends, then one every 20 ticks; each
    // conversion busy-waits its 2 us.
    expected.emplace_back(kSetUp, 0);
    expected.emplace_back(kSetUp + microseconds(2), 1);
    for (Time tick = 21; tick < 90; tick += 20) {
        expected.emplace_back(milliseconds(tick), 0);
        expected.emplace_back(milliseconds(tick) + microseconds(2), 1);
    }
    EXPECT_TRUE(sameTimeline(log_->samples, expected));
}

TEST_F(ValdorAnalog, RawReadingsAreStoredLowByteFirst) {
    board_->analog().set(0, 0x234);
    board_->analog().set(1, 4095);
    runUntil(milliseconds(10));
    EXPECT_EQ(read(0x70, 4), (std::vector<std::uint8_t>{0x34, 0x02, 0xFF, 0x0F}));

    // New voltages reach the registers with the cycle at tick 21, not before.
    board_->analog().set(0, 4095);
    board_->analog().set(1, 0);
    runUntil(milliseconds(18));
    EXPECT_EQ(read(0x70, 4), (std::vector<std::uint8_t>{0x34, 0x02, 0xFF, 0x0F}));
    // The ticks count from the start.
    runUntil(milliseconds(21) + microseconds(4) + kStartUp);
    EXPECT_EQ(read(0x70, 4), (std::vector<std::uint8_t>{0xFF, 0x0F, 0x00, 0x00}));
    // The registers around them are untouched.
    EXPECT_EQ(read(0x63, 1), (std::vector<std::uint8_t>{0x00}));
    EXPECT_EQ(read(0x80, 1), (std::vector<std::uint8_t>{0x00}));
}

TEST_F(ValdorAnalog, EachCycleTakesOneFreshReadingPerInput) {
    board_->analog().script(1, {100, 200, 0x3FF, 0x800});
    const std::vector<std::uint16_t> seen = {100, 200, 0x3FF, 0x800, 0x800};
    for (std::size_t cycle = 0; cycle < seen.size(); ++cycle) {
        runUntil(milliseconds(5 + 20 * cycle)); // between two cycles
        const std::vector<std::uint8_t> bytes = read(0x72, 2);
        ASSERT_EQ(bytes.size(), 2u);
        EXPECT_EQ(bytes[0] | (bytes[1] << 8), seen[cycle]) << "cycle " << cycle;
    }
    EXPECT_EQ(board_->analog().conversions(1), 5u);
}

} // namespace
} // namespace valdor_test
