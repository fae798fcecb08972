// A whole simulated chip for the conformance tests of its peripherals.
#pragma once

#include "../common/lambda_bench.h"
#include "sdk/host_chip.h"

#include <string>
#include <vector>

class ChipBench : public LambdaBench<sim::HostChip> {
public:
    ChipBench() : LambdaBench("board") {}
};

using Lines = std::vector<std::string>;
