#include "static_stacks.h"

#include <sstream>
#include <vector>

std::optional<StaticStacks> parseStaticStacks(std::istream& in) {
    StaticStacks stacks;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');)
            fields.push_back(field);
        if (fields.size() != 4 || fields[0].empty() || fields[1].empty())
            return std::nullopt;
        StaticStack s;
        try {
            std::size_t used = 0;
            s.worstCase = static_cast<std::uint32_t>(std::stoul(fields[2], &used));
            if (used != fields[2].size())
                return std::nullopt;
            s.size = static_cast<std::uint32_t>(std::stoul(fields[3], &used));
            if (used != fields[3].size())
                return std::nullopt;
        } catch (const std::exception&) {
            return std::nullopt;
        }
        stacks[fields[0]][fields[1]] = s;
    }
    return stacks;
}
