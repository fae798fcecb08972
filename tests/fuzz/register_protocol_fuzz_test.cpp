// Random host traffic against a quillet, every byte read checked against a
// model of the wire protocol written here from its description: the table
// in table order, read-only entries, the cursor that wraps from 0xFE to
// 0x00, the 100-byte limit, unlisted addresses, the descriptor stream and
// the heartbeat copy into 0x05. Nothing of the firmware is called.
#include <gtest/gtest.h>

#include "harness/bench.h"

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
const std::string kDescriptor =
    R"(["Pico",{"dout":{"n":9},"din":{"n":6},"v":"0.1","thermo":{"n":8}}])";

// What the host expects of the board, from the protocol alone.
class ProtocolModel {
public:
    struct Entry {
        std::uint8_t addr;
        std::uint8_t value;
        bool readOnly;
    };
    // A byte the host will read, and the entry it comes from (-1: none).
    // `after` is its value once the pending write is applied: a read in the
    // same transaction as the write may see either.
    struct Expected {
        std::uint8_t value;
        std::uint8_t after;
        int entry;
    };

    ProtocolModel() {
        table_ = {
            {0x00, 0x00, false}, {0x05, 0x02, false}, {0x09, 0xC0, true},  {0x0B, 0x01, false},
            {0x12, 0x00, true},  {0x13, 0x00, true},  {0x50, 0x00, false}, {0x51, 0x00, false},
            {0x52, 0x00, false}, {0x55, 0x00, true},  {0x56, 0x00, true},  {0x57, 0x00, true},
            {0x60, 0x00, false}, {0x61, 0x00, false}, {0x62, 0x00, false}, {0x63, 0x00, false},
            {0x70, 0x00, true},  {0x71, 0x00, true},  {0x72, 0x00, true},  {0x73, 0x00, true}};
        for (int a = 0x80; a <= 0x8F; ++a)
            table_.push_back({static_cast<std::uint8_t>(a), 0x00, true});
        table_.push_back({0xFD, 0x00, true});
        table_.push_back({0xFE, static_cast<std::uint8_t>(kDescriptor.size()), true});
    }

    const std::vector<Entry>& table() const { return table_; }

    // The write part of a transaction: address byte and data bytes. The
    // data reaches the table only with apply(); the heartbeat copy at once.
    void write(const Bytes& bytes) {
        if (bytes.empty())
            return;
        const std::uint8_t a = bytes[0];
        pendingStart_ = -1;
        pending_.clear();
        if (a == 0xFF) {
            mode_ = Mode::Descriptor;
            descPos_ = 0;
        } else {
            reg_ = find(a);
            mode_ = reg_ < 0 ? Mode::None : Mode::Registers;
            pendingStart_ = reg_;
        }
        for (std::size_t i = 1; i < bytes.size(); ++i) {
            if (reg_ < 0)
                continue;
            if (pending_.size() < 100)
                pending_.push_back(bytes[i]);
            if (table_[reg_].addr == 0x0B && (bytes[i] & 0x80))
                table_[find(0x05)].value = bytes[i];
            reg_ = next(reg_);
        }
    }

    // The host-link task has applied the last write's record.
    void apply() {
        applyTo(table_);
        pendingStart_ = -1;
        pending_.clear();
    }

    std::vector<Expected> read(std::size_t n) {
        std::vector<Entry> after = table_;
        applyTo(after);
        std::vector<Expected> out;
        for (std::size_t i = 0; i < n; ++i) {
            if (mode_ == Mode::Descriptor) {
                const std::uint8_t b = descPos_ < kDescriptor.size()
                                           ? static_cast<std::uint8_t>(kDescriptor[descPos_++])
                                           : 0x00;
                out.push_back({b, b, -1});
            } else if (mode_ == Mode::Registers && reg_ >= 0) {
                out.push_back({table_[reg_].value, after[reg_].value, reg_});
                reg_ = next(reg_);
            } else {
                out.push_back({0x00, 0x00, -1});
            }
        }
        return out;
    }

private:
    enum class Mode { None, Registers, Descriptor };

    int find(std::uint8_t addr) const {
        for (std::size_t i = 0; i < table_.size(); ++i) {
            if (table_[i].addr == addr)
                return static_cast<int>(i);
        }
        return -1;
    }
    int next(int e) const { return (e + 1) % static_cast<int>(table_.size()); }
    void applyTo(std::vector<Entry>& t) const {
        int e = pendingStart_;
        if (e < 0)
            return;
        for (std::uint8_t b : pending_) {
            if (!t[e].readOnly)
                t[e].value = b;
            e = next(e);
        }
    }

    std::vector<Entry> table_;
    // Reads before the first address byte give zeros.
    Mode mode_ = Mode::Registers;
    int reg_ = -1;
    std::size_t descPos_ = 0;
    int pendingStart_ = -1;
    Bytes pending_;
};

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
        const std::vector<ProtocolModel::Expected> expected = model.read(readLength);
        ASSERT_TRUE(bench.run(sim::milliseconds(1))) << bench.error();
        model.apply();

        if (readLength == 0)
            return;
        const Bytes& seen = r.messages.back().bytes;
        ASSERT_EQ(seen.size(), readLength) << what;
        // A read joined to a write by a repeated START may overtake the
        // host-link task or not; the record is applied in one piece, so once
        // a byte shows it every later byte must too.
        bool applied = false;
        for (std::size_t i = 0; i < readLength; ++i) {
            const ProtocolModel::Expected& x = expected[i];
            if (x.entry >= 0 && boardOwned(model.table()[x.entry].addr))
                continue;
            if (x.value != x.after && seen[i] == x.after)
                applied = true;
            const std::uint8_t want = applied ? x.after : x.value;
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
    ProtocolModel model;
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

} // namespace
