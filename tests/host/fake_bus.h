// A bus with one board modelled at the register level: reads answer from a
// register map in the boards' table order, writes land in it, and every
// transfer is recorded. Failures are set up per test.
#pragma once

#include "boardhost/transport.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace hosttest {

class FakeBus : public boardhost::Transport {
public:
    static constexpr const char* kValdor = "[\"Pico\",{\"dout\":{\"n\":12},\"din\":{\"n\":4},"
                                           "\"aout\":{\"n\":2,\"res\":12},\"ain\":{\"n\":2},"
                                           "\"v\":\"0.2\"}]";
    static constexpr const char* kQuillet =
        "[\"Pico\",{\"dout\":{\"n\":9},\"din\":{\"n\":6},\"v\":\"0.1\",\"thermo\":{\"n\":8}}]";

    FakeBus(std::uint8_t address, const std::string& descriptor);

    boardhost::Status transfer(std::vector<boardhost::Message>& messages) override;
    std::string name() const override { return "fake"; }

    std::map<std::uint8_t, std::uint8_t> regs;
    // Every transfer as i2ctransfer would write it: "w1@0x25 0xfd r2".
    std::vector<std::string> log;
    // After this many more good transfers, one fails with nextError
    // (-1: none fails).
    int failAfter = -1;
    boardhost::Error nextError{boardhost::Error::Kind::Nack, "not acknowledged"};
    // Reads come back this many bytes short.
    std::size_t shortBy = 0;

private:
    std::uint8_t address_;
    std::string descriptor_;
};

} // namespace hosttest
