// Random host traffic against a quillet, every byte read checked against the
// model of the wire protocol that soak uses, written from its description:
// the table in table order, read-only entries, the cursor that wraps from
// 0xFE to 0x00, the 100-byte limit, unlisted addresses, the descriptor
// stream and the heartbeat copy into 0x05. Nothing of the firmware is called.
#include <gtest/gtest.h>

#include "harness/bench.h"
#include "register_model.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using sim::I2cMessage;
using sim::I2cTransferRecord;
using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kSlot = 2;
constexpr std::uint8_t kAddr = 0x27 - kSlot;
// The thermocouple task publishes its readings into 0x80..0x8F on its own.
bool boardOwned(std::uint8_t addr) {
    return addr >= 0x80 && addr <= 0x8F;
}

class RegisterProtocolFuzz : public ::testing::TestWithParam<std::uint32_t> {
protected:
    static constexpr int kTransfers = 400;

    void SetUp() override {
        bench.insert(kSlot, "quillet", std::string(BOARD_IMAGE_DIR) + "/quillet.so");
        bench.powerOn();
        ASSERT_TRUE(bench.runUntil(sim::milliseconds(2))) << bench.error();
    }

    std::uint8_t randomStart() {
        static const std::uint8_t kUnlisted[] = {0x01, 0x10, 0x53, 0x7F, 0x90, 0xFC};
        const unsigned pick = uniform(0, 49);
        if (pick < 38)
            return model.table()[pick].addr;
        if (pick < 44)
            return kUnlisted[pick - 38];
        return 0xFF;
    }
    Bytes randomWrite(std::size_t minData, std::size_t maxData) {
        Bytes w{randomStart()};
        const std::size_t n = uniform(minData, maxData);
        for (std::size_t i = 0; i < n; ++i)
            w.push_back(static_cast<std::uint8_t>(uniform(0, 255)));
        return w;
    }
    unsigned uniform(unsigned lo, unsigned hi) {
        return std::uniform_int_distribution<unsigned>(lo, hi)(rng);
    }

    // Runs one transfer on the bus and checks what came back against the
    // model; `what` names the transfer in failure messages.
    void transfer(const Bytes& writePart, std::size_t readLength, const std::string& what) {
        std::vector<I2cMessage> messages;
        if (!writePart.empty())
            messages.push_back(I2cMessage::write(kAddr, writePart));
        if (readLength > 0)
            messages.push_back(I2cMessage::readBytes(kAddr, readLength));
        const I2cTransferRecord r = bench.i2c(messages);
        ASSERT_FALSE(bench.failed()) << bench.error();
        ASSERT_FALSE(r.nacked()) << what;
        ASSERT_EQ(r.messages.size(), messages.size()) << what;

        model.write(writePart);
        const std::vector<soak::RegisterModel::Expected> expected = model.read(readLength);
        ASSERT_TRUE(bench.run(sim::milliseconds(1))) << bench.error();
        model.apply();
        model.settle(); // a millisecond on, the board has applied it

        if (readLength == 0)
            return;
        const Bytes& seen = r.messages.back().bytes;
        ASSERT_EQ(seen.size(), readLength) << what;
        // A read joined to a write by a repeated START may overtake the
        // host-link task or not; the record is applied in one piece, so once
        // a byte shows it every later byte must too.
        bool applied = false;
        for (std::size_t i = 0; i < readLength; ++i) {
            const soak::RegisterModel::Expected& x = expected[i];
            if (x.entry >= 0 && boardOwned(model.table()[x.entry].addr))
                continue;
            if (x.before != x.after && seen[i] == x.after)
                applied = true;
            const std::uint8_t want = applied ? x.after : x.before;
            ASSERT_EQ(int(seen[i]), int(want))
                << what << ", byte " << i << " of the read"
                << (x.entry >= 0 ? " (register 0x" + hex(model.table()[x.entry].addr) + ")" : "")
                << (want != x.after ? "; 0x" + hex(x.after) + " once the write is applied" : "");
        }
    }

    static std::string hex(unsigned v) {
        std::ostringstream os;
        os << std::hex << v;
        return os.str();
    }
    static std::string describe(int n, const Bytes& w, std::size_t readLength) {
        std::ostringstream os;
        os << "transfer " << n << ": ";
        if (w.empty())
            return os.str() + "bare read " + std::to_string(readLength);
        os << "write [";
        for (std::size_t i = 0; i < w.size(); ++i)
            os << (i ? " " : "") << std::hex << int(w[i]);
        os << std::dec << "] (" << w.size() - 1 << " data), read " << readLength;
        return os.str();
    }

    sim::Bench bench;
    soak::RegisterModel model{soak::descriptorOf("quillet")};
    std::mt19937 rng{GetParam()};
};

TEST_P(RegisterProtocolFuzz, EveryByteReadMatchesTheModel) {
    for (int n = 0; n < kTransfers; ++n) {
        Bytes w;
        std::size_t readLength = 0;
        switch (uniform(0, 10)) {
        case 0:
        case 1: // a short write
            w = randomWrite(1, 6);
            break;
        case 2: // any length up to 110 data bytes
            w = randomWrite(0, 110);
            break;
        case 10: // round the 100 bytes that are applied
            w = randomWrite(95, 110);
            break;
        case 3: // select only
            w = {randomStart()};
            break;
        case 4:
        case 5: // a read that goes on where the cursor stands
            readLength = uniform(1, 45);
            break;
        case 6:
        case 7: // write (or select), repeated START, read
            w = uniform(0, 1) ? randomWrite(0, 6) : randomWrite(0, 40);
            readLength = uniform(1, 45);
            break;
        case 8: // the descriptor from its start, in one read or more
            w = {0xFF};
            readLength = uniform(1, 80);
            break;
        default: // the descriptor selected on its own, read later
            w = {0xFF};
            break;
        }
        transfer(w, readLength, describe(n, w, readLength));
        if (HasFatalFailure())
            return;
    }

    // The whole table, read from 0x00, as the model has it.
    transfer({0x00}, model.table().size(), "final full read");
}

INSTANTIATE_TEST_SUITE_P(Seeds, RegisterProtocolFuzz,
                         ::testing::Values(1u, 2u, 3u, 0x5EEDu, 20261208u));

// A transfer that begins just after a write may still find the registers
// from before it, until the board has surely applied the write; a byte read
// after that has only the new value.
TEST(RegisterModelWindow, AReadSoonAfterAWriteMaySeeTheOldValuesUntilSettled) {
    soak::RegisterModel model{soak::descriptorOf("valdor")};
    model.write({0x50, 0x22, 0x8a});
    model.apply();
    model.write({0x50});
    const auto soon = model.read(2);
    ASSERT_EQ(soon.size(), 2u);
    EXPECT_EQ(soon[0].before, 0x00);
    EXPECT_EQ(soon[0].after, 0x22);
    EXPECT_EQ(soon[1].before, 0x00);
    EXPECT_EQ(soon[1].after, 0x8a);
    model.apply();
    model.settle();
    model.write({0x50});
    const auto later = model.read(2);
    EXPECT_EQ(later[0].before, 0x22);
    EXPECT_EQ(later[1].before, 0x8a);
    // A write of the pointer alone applies nothing and keeps the window.
    model.write({0x50, 0x33});
    model.apply();
    model.write({0x51});
    model.apply();
    model.write({0x50});
    EXPECT_EQ(model.read(1)[0].before, 0x22);
}

} // namespace
