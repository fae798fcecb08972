// What the firmware prints, line by line with the time each line ended. An
// image with the UART console driver (brennic) prints what leaves UART0,
// timed as a logic analyser on the line would show it, on both builds. On
// the host build, an image without a driver (valdor, quillet; on silicon
// their text goes nowhere) has its text caught at the SDK's stdio layer.
#pragma once

#include "engine/time.h"

#include <cstddef>
#include <string>
#include <vector>

namespace sim {

class BlockHost;

struct ConsoleLine {
    Time at = 0;
    std::string text;
};

class Console {
public:
    explicit Console(BlockHost& host);

    void write(const char* text, std::size_t length);
    // Text after the last newline.
    const std::string& pending() const { return pending_; }
    const std::vector<ConsoleLine>& lines() const { return lines_; }
    // The lines completed since the last call.
    std::vector<ConsoleLine> takeNew();
    // A reset cuts the line being written: what was written of it is kept as
    // a line of its own.
    void cut();

private:
    void complete();

    BlockHost& host_;
    std::string pending_;
    std::vector<ConsoleLine> lines_;
    std::size_t taken_ = 0;
};

} // namespace sim
