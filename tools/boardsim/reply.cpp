#include "reply.h"

#include <sstream>

namespace boardsim {

namespace {

bool looksLikeEnd(const std::string& line) {
    return line == "ok" || line.compare(0, 6, "error:") == 0;
}

} // namespace

std::string reply(const std::string& output, const std::string& error) {
    std::string text;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if ((!line.empty() && line[0] == ' ') || looksLikeEnd(line))
            text += ' ';
        text += line + "\n";
    }
    if (error.empty())
        return text + "ok\n";
    std::string first = error.substr(0, error.find('\n'));
    return text + "error: " + first + "\n";
}

} // namespace boardsim
