// Host writes between the handler and TWI-Task: writes that arrive while the
// task cannot run are applied in order in one wake-up, and the bounded write
// queue drops the newest record when it is full and keeps working.
#include "link_bench.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace link_test {
namespace {

constexpr std::uint8_t kAddr = addressOfSlot(3);
// One record [reg, byte] on the bus, with the bus free time after it.
constexpr Time kWriteSlot = microseconds(290);

class HostWrites : public LinkTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        board_ = &insert(GetParam(), 3);
        start(milliseconds(5));
    }
    sim::Board* board_ = nullptr;
};

TEST_P(HostWrites, WritesWhileTheTaskIsHeldAreAppliedInOrder) {
    const Time held = now();
    holdCore(*board_, 1, milliseconds(3));
    write(kAddr, 0x00, {0x11});
    write(kAddr, 0x0B, {0x22});
    write(kAddr, 0x00, {0x33});
    // Nothing applied yet; the handler still answers reads.
    EXPECT_EQ(read(kAddr, 0x00, 4), (Bytes{0x00, 0x02, 0xC0, 0x01}));
    runUntil(held + milliseconds(3));
    EXPECT_EQ(read(kAddr, 0x00, 4), (Bytes{0x33, 0x02, 0xC0, 0x22}));
}

// The queue holds 16 records. Of 20 writes made while the task is held the
// first 16 are applied and the rest dropped; every byte was acknowledged on
// the bus all the same.
TEST_P(HostWrites, FullQueueDropsTheNewestRecordsAndKeepsWorking) {
    const Time held = now();
    holdCore(*board_, 1, milliseconds(8));
    for (std::uint8_t i = 1; i <= 20; ++i)
        write(kAddr, 0x00, {i});
    // The handler's copy into 0x05 does not need the queue; the record for
    // 0x0B is lost with the others.
    write(kAddr, 0x0B, {0x81});
    EXPECT_LT(now(), held + milliseconds(8));
    runUntil(held + milliseconds(8));
    EXPECT_EQ(read(kAddr, 0x00, 4), (Bytes{16, 0x81, 0xC0, 0x01}));

    // Drained, the queue takes a full load again, and then single writes.
    const Time again = now();
    holdCore(*board_, 1, milliseconds(6));
    for (std::uint8_t i = 1; i <= 16; ++i)
        write(kAddr, static_cast<std::uint8_t>(i % 2 == 0 ? 0x00 : 0x0B), {i});
    runUntil(again + milliseconds(6));
    EXPECT_EQ(read(kAddr, 0x00, 4), (Bytes{16, 0x81, 0xC0, 15}));
    write(kAddr, 0x00, {0x5A});
    EXPECT_EQ(read(kAddr, 0x00, 1), Bytes{0x5A});
}

INSTANTIATE_TEST_SUITE_P(Images, HostWrites, ::testing::Values("valdor", "quillet"));

// valdor: each write to 0x50 makes the board drive its outputs; three writes
// held back behind a busy core 1 reach the pins in the order they were
// written once the task runs again, and the last one stays. The board task
// reads the output word when it serves each write's event, so it may find a
// later write already applied and show that one for both. Output channel i
// is GPIO11 - i.
class HostWritesValdor : public LinkTest {};

TEST_F(HostWritesValdor, HeldWritesReachTheOutputsInOrder) {
    sim::Board& board = insert("valdor", 3);
    start(milliseconds(5));
    const Time held = now();
    holdCore(board, 1, milliseconds(3));
    const std::vector<unsigned> written = {0x01, 0x02, 0x04};
    for (unsigned bit : written)
        write(kAddr, 0x50, {std::uint8_t(bit)});
    EXPECT_EQ(now(), held + 3 * kWriteSlot - microseconds(5));
    EXPECT_TRUE(records("pin", board.name(), held).empty());

    runUntil(held + milliseconds(4));
    const Time resumed = held + milliseconds(3);
    // The output word after each change of GPIO11..GPIO9, and the words
    // written among them (a word between two writes is a pin on its way).
    std::vector<unsigned> shown;
    unsigned word = 0;
    for (const sim::Record& r : records("pin", board.name(), held)) {
        unsigned gpio = 0;
        int level = 0;
        if (std::sscanf(r.text().c_str(), "GPIO%u=%d", &gpio, &level) != 2 || gpio < 9 || gpio > 11)
            continue;
        EXPECT_TRUE(onTime(r.at, resumed)) << r.text();
        const unsigned bit = 1u << (11 - gpio);
        word = level ? word | bit : word & ~bit;
        if (std::find(written.begin(), written.end(), word) != written.end() &&
            (shown.empty() || shown.back() != word))
            shown.push_back(word);
    }
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), written.back());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << "a write shown after a later one";
    if (!image_backend::kElf) { // code takes no time: the task serves each write before the next
        EXPECT_EQ(shown, written);
    }
}

} // namespace
} // namespace link_test
