// The SIO's own parts: the dividers (through a program on both cores, and
// on their own), the FIFOs and the core-1 launch protocol step by step.
#include "program_bench.h"

#include "rp2040/core1_launch.h"
#include "rp2040/divider.h"
#include "rp2040/mailboxes.h"

#include <vector>

namespace {

using sim::milliseconds;
using sim::rp2040::Core1Launch;
using sim::rp2040::Divider;
using sim::rp2040::Mailboxes;

struct Division {
    std::uint32_t dividend, divisor;
    bool isSigned;
    std::uint32_t quotient, remainder;
};

// The same table as the program's, with the results the chip gives:
// by zero, all ones (unsigned) or -1/+1 by the dividend's sign, the
// dividend as remainder; INT_MIN / -1 wraps.
const Division kDivisions[] = {
    {100, 7, false, 14, 2},
    {7, 100, false, 0, 7},
    {0xffffffff, 1, false, 0xffffffff, 0},
    {0xffffffff, 0x10000, false, 0xffff, 0xffff},
    {123, 0, false, 0xffffffff, 123},
    {0, 0, false, 0xffffffff, 0},
    {100, 7, true, 14, 2},
    {std::uint32_t(-100), 7, true, std::uint32_t(-14), std::uint32_t(-2)},
    {100, std::uint32_t(-7), true, std::uint32_t(-14), 2},
    {std::uint32_t(-100), std::uint32_t(-7), true, 14, std::uint32_t(-2)},
    {0x80000000, std::uint32_t(-1), true, 0x80000000, 0},
    {55, 0, true, 0xffffffff, 55},
    {std::uint32_t(-55), 0, true, 1, std::uint32_t(-55)},
    {0, 0, true, 0xffffffff, 0},
};
constexpr std::size_t kCount = sizeof kDivisions / sizeof kDivisions[0];

TEST(DividerBlock, ResultsAndFlags) {
    for (const Division& d : kDivisions) {
        Divider div;
        EXPECT_EQ(div.csr(), Divider::kReady);
        div.writeDividend(d.dividend, d.isSigned);
        div.writeDivisor(d.divisor, d.isSigned);
        EXPECT_EQ(div.csr(), Divider::kReady | Divider::kDirty);
        EXPECT_EQ(div.remainder(), d.remainder) << d.dividend << " / " << d.divisor;
        EXPECT_EQ(div.readQuotient(), d.quotient) << d.dividend << " / " << d.divisor;
        EXPECT_EQ(div.csr(), Divider::kReady);
    }
}

TEST(DividerBlock, SavedStateComesBack) {
    // The SDK's save and restore around an interrupt: dividend, divisor,
    // then remainder and quotient written back as they were read.
    Divider div;
    div.writeDividend(1000, false);
    div.writeDivisor(3, false);
    const std::uint32_t n = div.dividend(), d = div.divisor(), r = div.remainder(),
                        q = div.peekQuotient();
    div.writeDividend(77, true);
    div.writeDivisor(std::uint32_t(-5), true);
    div.writeDividend(n, false);
    div.writeDivisor(d, false);
    div.writeRemainder(r);
    div.writeQuotient(q);
    EXPECT_EQ(div.remainder(), 1u);
    EXPECT_EQ(div.readQuotient(), 333u);
}

class DividerProgram : public ProgramBench {};

TEST_F(DividerProgram, EachCoreDividesOnItsOwnDivider) {
    LOAD_PROGRAM("divider");
    chip->powerOn();
    run(milliseconds(1));
    const std::uint32_t results = address("results");
    for (std::uint32_t core = 0; core < 2; ++core) {
        ASSERT_EQ(word("finished", core), 1u) << "core " << core;
        for (std::size_t i = 0; i < kCount; ++i) {
            const std::uint32_t at = results + std::uint32_t((core * kCount + i) * 16);
            const Division& d = kDivisions[i];
            EXPECT_EQ(chip->readWord(at), d.quotient) << "core " << core << " row " << i;
            EXPECT_EQ(chip->readWord(at + 4), d.remainder) << "core " << core << " row " << i;
            EXPECT_EQ(chip->readWord(at + 8), Divider::kReady | Divider::kDirty);
            EXPECT_EQ(chip->readWord(at + 12), Divider::kReady);
        }
    }
}

TEST(MailboxesBlock, DepthOrderAndFlags) {
    Mailboxes m;
    int changes = 0;
    m.setListener([&] { ++changes; });
    EXPECT_EQ(m.status(0), Mailboxes::kReady);
    for (std::uint32_t i = 0; i < Mailboxes::kDepth; ++i)
        m.push(0, 100 + i);
    EXPECT_EQ(m.status(0), 0u); // full towards core 1, nothing to read
    EXPECT_EQ(m.status(1), Mailboxes::kValid | Mailboxes::kReady);
    EXPECT_TRUE(m.irq(1));
    EXPECT_FALSE(m.irq(0));
    m.push(0, 999); // lost
    EXPECT_EQ(m.status(0), Mailboxes::kWroteFull);
    EXPECT_TRUE(m.irq(0));
    for (std::uint32_t i = 0; i < Mailboxes::kDepth; ++i)
        EXPECT_EQ(m.pop(1), 100 + i);
    EXPECT_EQ(m.pop(1), 0u);
    EXPECT_EQ(m.status(1), Mailboxes::kReady | Mailboxes::kReadEmpty);
    m.clearErrors(0);
    m.clearErrors(1);
    EXPECT_FALSE(m.irq(0));
    EXPECT_FALSE(m.irq(1));
    EXPECT_EQ(changes, 8 + 1 + 8 + 1 + 2);
}

// Drives the launch protocol from core 0's side, as a program would.
struct Launcher {
    Mailboxes m;
    Core1Launch launch;
    int events = 0;

    // Runs core 1 until it waits; true if it launched.
    bool settle() {
        for (int i = 0; i < 100; ++i) {
            const Core1Launch::Result r = launch.advance(m, [this] { ++events; });
            if (r == Core1Launch::Result::Launched)
                return true;
            if (r == Core1Launch::Result::Waiting)
                return false;
        }
        ADD_FAILURE() << "the launcher never waits";
        return false;
    }
    // Sends a word and returns core 1's answer (0 when none).
    std::uint32_t exchange(std::uint32_t word, bool& launched) {
        m.push(0, word);
        launched = settle();
        return m.canRead(0) ? m.pop(0) : 0xdeadu;
    }
};

TEST(Core1LaunchProtocol, EchoesAndStartsOverOnAMismatch) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> sent;
        std::vector<std::uint32_t> echoed;
        bool launched;
    };
    const Case cases[] = {
        {"the SDK's sequence",
         {0, 0, 1, 0x10000100, 0x20041000, 0x10000201},
         {0, 0, 1, 0x10000100, 0x20041000, 0x10000201},
         true},
        {"a wrong command word starts over",
         {0, 7, 0, 1, 0x100, 0x200, 0x301},
         {0, 0, 0, 1, 0x100, 0x200, 0x301},
         true},
        {"a 0 in the middle starts over",
         {0, 1, 0x100, 0, 1, 0x100, 0x200, 0x301},
         {0, 1, 0x100, 0, 1, 0x100, 0x200, 0x301},
         true},
        {"stopping short does not launch", {0, 1, 0x100, 0x200}, {0, 1, 0x100, 0x200}, false},
    };
    for (const Case& c : cases) {
        Launcher l;
        l.launch.enter();
        EXPECT_FALSE(l.settle()) << c.what;
        // Core 1 said 0 first; core 0 drains it, as the SDK does.
        ASSERT_TRUE(l.m.canRead(0)) << c.what;
        EXPECT_EQ(l.m.pop(0), 0u) << c.what;
        std::vector<std::uint32_t> echoed;
        bool launched = false;
        for (std::uint32_t w : c.sent) {
            echoed.push_back(l.exchange(w, launched));
            // After a wrong word core 1 sends a fresh 0: take it too.
            while (l.m.canRead(0))
                echoed.push_back(l.m.pop(0));
        }
        EXPECT_EQ(echoed, c.echoed) << c.what;
        EXPECT_EQ(launched, c.launched) << c.what;
        if (c.launched) {
            EXPECT_EQ(l.launch.target().entry, c.sent.back()) << c.what;
            EXPECT_EQ(l.launch.target().sp, c.sent[c.sent.size() - 2]) << c.what;
            EXPECT_EQ(l.launch.target().vtor, c.sent[c.sent.size() - 3]) << c.what;
        }
        EXPECT_EQ(l.events, int(c.echoed.size()) + 1) << c.what; // one SEV per word sent
    }
}

TEST(Core1LaunchProtocol, FirstReadOfAnEmptyFifoLeavesReadEmptySet) {
    Launcher l;
    l.launch.enter();
    l.settle();
    EXPECT_EQ(l.m.status(1) & Mailboxes::kReadEmpty, Mailboxes::kReadEmpty);
}

} // namespace
