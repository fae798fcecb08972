// The VCD file: declarations, then only changes, in time order, however late
// within the hold a probe tells of them.
#include "world/vcd_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace sim {
namespace {

class VcdFileTest : public ::testing::Test {
protected:
    std::string path_ = ::testing::TempDir() + "vcd_file_test.vcd";
    void TearDown() override { std::remove(path_.c_str()); }

    // The file after the header's $enddefinitions line.
    std::string body() {
        std::ifstream in(path_);
        std::stringstream s;
        s << in.rdbuf();
        const std::string text = s.str();
        const std::string mark = "$enddefinitions $end\n";
        const auto at = text.find(mark);
        return at == std::string::npos ? "" : text.substr(at + mark.size());
    }
    std::string header() {
        std::ifstream in(path_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str().substr(0, s.str().find("$enddefinitions"));
    }
};

TEST_F(VcdFileTest, DeclaresThenWritesOnlyChangesInTimeOrder) {
    {
        VcdFile f(path_, 100);
        VcdFile::Var a = f.wire("bus.scl", '1');
        VcdFile::Var v = f.real("valdor@2.slot", 1.5);
        f.begin(0);
        f.change(300, a, '0');
        f.change(200, a, '1'); // late but within the hold; no change either
        f.change(250, v, 2.25);
        f.change(300, v, 2.25);
        f.advance(450); // writes what is before 350
        f.change(360, a, 'x');
        f.change(360, a, '1'); // the last at one time holds
        f.change(400, a, 'z');
        f.finish(1000);
        EXPECT_EQ(f.lateChanges(), 0u);
    }
    EXPECT_EQ(header(), "$date boardsim run $end\n$version boardsim $end\n$timescale 1ns $end\n"
                        "$var wire 1 ! bus.scl $end\n$var real 64 \" valdor@2.slot $end\n");
    EXPECT_EQ(body(), "#0\n$dumpvars\n1!\nr1.5 \"\n$end\n"
                      "#250\nr2.25 \"\n#300\n0!\n#360\n1!\n#400\nz!\n#1000\n");
}

TEST_F(VcdFileTest, HoldsChangesUntilNothingEarlierCanCome) {
    VcdFile f(path_, 100);
    VcdFile::Var a = f.wire("a", '0');
    f.begin(0);
    f.change(500, a, '1');
    f.advance(600); // 500 is not before 500
    std::ifstream before(path_);
    std::string text((std::istreambuf_iterator<char>(before)), {});
    EXPECT_EQ(text.find("#500"), std::string::npos);
    f.change(450, a, '0');
    f.advance(601);
    f.finish(601);
    // The late change changes nothing and leaves no time stamp.
    EXPECT_EQ(body(), "#0\n$dumpvars\n0!\n$end\n#500\n1!\n#601\n");
}

TEST_F(VcdFileTest, ChangesLaterThanTheHoldGoAtTheLastTimeWritten) {
    VcdFile f(path_, 10);
    VcdFile::Var a = f.wire("a", '0');
    f.begin(0);
    f.change(100, a, '1');
    f.advance(200);
    f.change(50, a, '0');
    f.finish(300);
    EXPECT_EQ(f.lateChanges(), 1u);
    EXPECT_EQ(body(), "#0\n$dumpvars\n0!\n$end\n#100\n1!\n0!\n#300\n");
}

TEST_F(VcdFileTest, ManyVariablesGetDistinctShortIdentifiers) {
    {
        VcdFile f(path_, 10);
        for (int i = 0; i < 200; ++i)
            f.wire("w" + std::to_string(i), '0');
        f.begin(0);
    }
    const std::string h = header();
    EXPECT_NE(h.find("$var wire 1 ~ w93 $end"), std::string::npos);
    EXPECT_NE(h.find("$var wire 1 !\" w94 $end"), std::string::npos);
    EXPECT_NE(h.find("$var wire 1 ,# w199 $end"), std::string::npos);
}

TEST_F(VcdFileTest, UnwritablePathThrows) {
    EXPECT_THROW(VcdFile("/nonexistent-dir/x.vcd", 10), std::runtime_error);
}

} // namespace
} // namespace sim
