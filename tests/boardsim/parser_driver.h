// One script through boardsim's command-line parsers, the way the commands
// use them: every word as a duration, an integer and the start of an i2c
// transfer, and every line as a scenario step. A malformed word must give a
// UsageError; anything else that is thrown, or a crash, is a fault of the
// parser.
#pragma once

#include "harness/command_words.h"
#include "harness/scenario_step.h"

#include <cstddef>
#include <string>

namespace boardsim_fuzz {

// Usage errors seen; throws whatever else a parser throws.
inline std::size_t parseScript(const std::string& text) {
    std::size_t errors = 0;
    std::size_t begin = 0;
    int address = -1;
    while (begin <= text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        const std::vector<std::string> words =
            sim::scenario::splitWords(text.substr(begin, end - begin));
        begin = end + 1;
        for (std::size_t i = 0; i < words.size(); ++i) {
            try {
                sim::scenario::parseDuration(words[i]);
            } catch (const sim::scenario::UsageError&) {
                ++errors;
            }
            try {
                sim::scenario::parseInteger(words[i], -4096, 0x7fffffff, "number");
            } catch (const sim::scenario::UsageError&) {
                ++errors;
            }
        }
        if (!words.empty()) {
            try {
                const std::vector<std::string> args(words.begin() + 1, words.end());
                for (const sim::I2cMessage& m : sim::scenario::parseI2cTransfer(args, address)) {
                    if (m.address > 0x7f || (m.read && m.length == 0))
                        throw std::logic_error("the parser let a bad message through");
                }
            } catch (const sim::scenario::UsageError&) {
                ++errors;
            }
            try {
                int stepAddress = -1;
                sim::scenario::Step step;
                sim::scenario::parseStep(words, stepAddress, step);
            } catch (const sim::scenario::UsageError&) {
                ++errors;
            }
        }
    }
    return errors;
}

} // namespace boardsim_fuzz
