// The same scenario twice on the real binary gives the same records, byte
// for byte: two cores interleaved instruction by instruction, idle skips,
// host traffic and a contact bouncing leave no room for chance.
#include <gtest/gtest.h>

#include "harness/bench.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> scenario() {
    sim::Bench bench;
    bench.insert(1, "valdor", std::string(ELF_IMAGE_DIR) + "/valdor.elf");
    bench.insert(4, "quillet", std::string(ELF_IMAGE_DIR) + "/quillet.elf");
    bench.powerOn();
    std::vector<std::string> lines;
    if (!bench.run(sim::milliseconds(60)))
        return {bench.error()};
    bench.board(1)->contact(13).close();
    for (std::uint8_t i = 0; i < 20; ++i) {
        bench.writeRegisters(0x26, 0x50, {i, static_cast<std::uint8_t>(i >> 2)});
        bench.readRegisters(0x23, 0x80, 4);
        bench.readRegisters(0x26, 0x12, 1);
        bench.run(sim::microseconds(137 * i));
    }
    bench.board(1)->contact(13).open();
    bench.run(sim::milliseconds(30));
    for (const sim::Record& r : bench.recorder().records())
        lines.push_back(r.line());
    return lines;
}

TEST(Determinism, TheSameRunTwiceGivesTheSameRecords) {
    const std::vector<std::string> first = scenario();
    const std::vector<std::string> second = scenario();
    ASSERT_GT(first.size(), 100u);
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i)
        ASSERT_EQ(first[i], second[i]) << "record " << i;
}

} // namespace
