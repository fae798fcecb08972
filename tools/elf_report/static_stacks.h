// The static worst case per task that the image checks compute from the
// disassembly (tools/image_checks, --stack-file): one line per task, tab-
// separated: image, task, worst-case bytes, stack bytes.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>

struct StaticStack {
    std::uint32_t worstCase = 0;
    std::uint32_t size = 0;
};

// image -> task -> bound. Nothing when a line is not of that form.
using StaticStacks = std::map<std::string, std::map<std::string, StaticStack>>;
std::optional<StaticStacks> parseStaticStacks(std::istream& in);
